// Norvane: the DeviceNet master configuration and test program.
#include "norvane_app.h"

int main(int argc, char** argv) {
    CNorvaneApp app(argc, argv);
    return app.Run();
}
