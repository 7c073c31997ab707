// The accounts of the users table: logging in, adding, changing passwords
// and removing, with the same rules for the accounts window and the command
// line. Every statement binds the seller's text as a parameter; passwords
// are stored hashed (PasswordHash.h).
#pragma once

#include <QString>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/PasswordHash.h"
#include "store/Connection.h"

// A refusal, with the message the seller reads.
class TAccountError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct TAccountRow {
    QString name;
    bool hashed = false;  // false while any row of the name still holds plain text
};

// The account a new database comes with, announced on the login window
// while it keeps this password.
inline const char* const kDefaultUser = "admin";
inline const char* const kDefaultPassword = "470913";

class TAccounts {
public:
    // `iterations` is the strength new hashes get.
    explicit TAccounts(store::Connection& c, int iterations = password::kIterations);

    // One row per name, in the order the accounts were added.
    std::vector<TAccountRow> List();
    // True when the name and password match; a matching row still in plain
    // text (or hashed more weakly) is hashed anew on the spot. Callers trim.
    bool LogIn(const QString& name, const QString& plain);
    // The same check without changing the row.
    bool HasPassword(const QString& name, const QString& plain);
    // The stored password texts of `name` (several for a name entered twice by hand).
    std::vector<std::string> Stored(const QString& name);

    // Refuses a name that has no account.
    void RequireAccount(const QString& name);
    void Add(const QString& name, const QString& password1, const QString& password2);
    // Sets a new password; the old one is asked only when `name` is the
    // account logged in (`loggedIn`, empty on the command line).
    void ChangePassword(const QString& name, const QString& loggedIn, const QString& oldPassword,
                        const QString& password1, const QString& password2);
    // Never the account logged in, never the last account.
    void Remove(const QString& name, const QString& loggedIn);

private:
    QString CheckedName(const QString& name);
    std::string CheckedNewPassword(const QString& password1, const QString& password2);
    bool Exists(const QString& name);
    store::Connection& FConn;
    int FIterations;
};
