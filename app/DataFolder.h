// Where the program keeps its database. Started in a folder holding
// ledgr.mdb (as ./run.sh starts it), it works there, as it always did;
// otherwise, as a program started from the desktop's menu, it keeps the
// database in the user's data folder, $XDG_DATA_HOME/tallybrook.
#pragma once

#include <filesystem>

// $XDG_DATA_HOME/tallybrook, or ~/.local/share/tallybrook when that is unset.
std::filesystem::path UserDataFolder();

enum class TDataFolderUse {
    Window,   // the windows: the data folder and a first database are created when missing
    Command,  // a command: moves to the data folder only when it holds a database
};

// Makes the folder holding the database the current directory; returns it.
// Throws with a message for the seller when the data folder cannot be made.
std::filesystem::path EnterDataFolder(TDataFolderUse use);
