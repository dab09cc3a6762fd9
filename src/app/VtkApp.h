#pragma once

class CVtkApp {
public:
    CVtkApp(int& argc, char** argv);
    int Run();
};
