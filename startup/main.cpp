#include "startup/basGeneral.h"

int main(int argc, char** argv) {
    return tavrino::RunProgram(argc, argv);
}
