#include "app/subMain.h"

int main(int argc, char** argv) {
    return zelcor::Main(argc, argv);
}
