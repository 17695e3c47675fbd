#include "game/run_game.h"

int main() { return vexlo::runGame(); }
