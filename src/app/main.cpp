// The program's entry: one application object does the whole run.

#include <exception>
#include <iostream>

#include "ctw_app.h"

int main(int argc, char** argv) {
    try {
        CtwApp app;
        return app.Run(argc, argv);
    } catch (const std::exception& fault) {
        // Operations report by return value; anything that still escapes ends the run as a failure, not a
        // crash.
        std::cerr << "tablewright: " << fault.what() << '\n';
        return 1;
    }
}
