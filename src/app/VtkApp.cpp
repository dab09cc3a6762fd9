#include "app/VtkApp.h"
CVtkApp::CVtkApp(int&, char**) {}
int CVtkApp::Run() {
    return 0;
}
