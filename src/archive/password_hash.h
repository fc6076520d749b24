#pragma once
// Doctors' passwords as the archive keeps them: only a slow salted hash, Argon2id through
// libsodium, in its self-describing text form ("$argon2id$v=19$m=65536,t=2,p=1$salt$hash"), so
// that a stronger work factor later still verifies the hashes made before it.

#include <QByteArray>
#include <QString>

// The work factor: libsodium's "interactive" limits, 2 passes over 64 MiB (about 0.1 s on a
// workstation's core): slow enough that a stolen archive's hashes cost an attacker that for
// every guess, quick enough for a doctor who confirms a record.
bool HashPassword(const QByteArray& password, QString* hash, QString* error);
bool PasswordMatches(const QString& hash, const QByteArray& password);
