#include "app/VtkApp.h"

int main(int argc, char** argv) {
    if (const std::optional<int> exitCode = RunWithoutWindows(argc, argv))
        return *exitCode;
    CVtkApp app(argc, argv);
    return app.Run();
}
