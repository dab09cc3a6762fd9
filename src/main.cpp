#include "app/VtkApp.h"

int main(int argc, char** argv) {
    CVtkApp app(argc, argv);
    return app.Run();
}
