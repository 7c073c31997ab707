// Registers the pictures and texts compiled into the program.
#pragma once

void InitAppResources();
