// SPDX-License-Identifier: MIT

#include "term/TermApp.h"

int main(int argc, char** argv) {
    return tessel::RunTerm(argc, argv);
}
