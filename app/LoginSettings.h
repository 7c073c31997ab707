// The remembered login: section "login" of config.ini, keys "user",
// "password" and "savepwd".
#pragma once

#include <QString>

struct TLoginValues {
    QString user;
    QString password;
    bool savePassword = false;
};

class TLoginSettings {
public:
    // `exeDir` is the program's folder; `userDir` the per-user fallback folder
    // (by default $XDG_CONFIG_HOME/tallybrook).
    explicit TLoginSettings(QString exeDir, QString userDir = DefaultUserDir());

    static QString DefaultUserDir();

    TLoginValues Read() const;
    // Writes the values; throws "Unable to write to %s" when no settings
    // file can be written. The file is readable by its owner only.
    void Write(const TLoginValues& v) const;

    QString ReadPath() const;
    QString WritePath() const;

private:
    QString FExeFile;
    QString FUserFile;
};

// Reads "savepwd": any integer but 0 is true; anything else false.
bool ParseSavePwd(const QString& text);
