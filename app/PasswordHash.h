// Passwords as the users table keeps them: a salted PBKDF2-HMAC-SHA256 hash
// behind a marker that names the method and its iteration count,
//   $pbkdf2-sha256$600000$<salt, 32 hex digits>$<key, 64 hex digits>
// so the column stays a text column. A value without the marker is a
// password stored in plain text by an earlier release.
#pragma once

#include <string>
#include <string_view>

namespace password {

inline constexpr std::string_view kMarker = "$pbkdf2-sha256$";
// Slow enough that a copied database cannot be tried quickly, fast enough
// for a login well under half a second on the seller's computer.
inline constexpr int kIterations = 600000;

// A new salted hash of `plain`.
std::string Hash(std::string_view plain, int iterations = kIterations);
// True when `plain` is the password `stored` holds, hashed or in plain text.
// Both forms are compared in constant time; a malformed hash never matches.
bool Verify(std::string_view plain, std::string_view stored);
bool IsHashed(std::string_view stored);
// Iterations of a well-formed hash, 0 for plain text or a malformed hash.
int Iterations(std::string_view stored);
// True for plain text and for hashes weaker than `iterations`.
bool NeedsRehash(std::string_view stored, int iterations = kIterations);

}  // namespace password
