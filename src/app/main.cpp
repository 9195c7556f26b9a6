#include "app/VantrelApp.h"

int main(int argc, char** argv) { return vantrel::RunVantrelApp(argc, argv); }
