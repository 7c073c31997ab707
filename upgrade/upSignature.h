// The maker's signature on the update information file: Ed25519 over every
// byte of the file before its last line, "#signature=" and the signature in
// base64. The program carries the maker's public key and trusts no other.
#pragma once

#include <QByteArray>

enum TupSignatureCheck { scValid, scUnsigned, scBadSignature };

// The bytes the signature covers, and the signature written after them;
// an empty signature when the file does not end in a signature line.
QByteArray SignedPart(const QByteArray& bytes, QByteArray* signature);

// scBadSignature also when Key is not a 32-byte Ed25519 public key.
TupSignatureCheck VerifyInfoSignature(const QByteArray& bytes, const QByteArray& key);

// The maker's public key built into the program (the CMake setting
// TALLYBROOK_UPDATE_PUBLIC_KEY, 64 hex digits); empty when none was given,
// and then no update is accepted.
QByteArray BuiltInUpdateKey();
