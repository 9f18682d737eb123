#include "ui/Application.h"

int main(int argc, char** argv) { return zentavo::ui::RunApplication(argc, argv); }
