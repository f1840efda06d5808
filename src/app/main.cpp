// The program's entry: one application object does the whole run.

#include "ctw_app.h"

int main(int argc, char** argv) {
    CtwApp app;
    return app.Run(argc, argv);
}
