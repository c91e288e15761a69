#include "shell/startup.h"

int main(int argc, char* argv[]) {
    return krt::runProgram(argc, argv);
}
