#include "ui/main/CVornApp.h"

int main(int argc, char** argv) {
    pyx::CVornApp app(argc, argv);
    return app.Run();
}
