// The sales subcommands: saving an order and querying the sales lines.
#pragma once

#include "app/CliCommands.h"

std::vector<TCliCommand> SalesCommands();
