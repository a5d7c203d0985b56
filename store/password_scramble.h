// The obfuscation of stored passwords: the per-password scrambling written into "Passwords.bf",
// the key the whole file is enciphered with, and the fixed values both rest on. This hides
// passwords from a casual look at the file; it is no protection against anyone who has the
// program, which carries the keys.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tellweir {

// The text stored for `password`: it decodes to max(n, 27) + 1 bytes for a password of n bytes,
// each written as a letter or digit or as a three-character escape, so it never contains blanks
// or quotes.
std::string Scramble(std::string_view password);

// The password that `text` was made from by Scramble: the decoded bytes up to the first zero.
// Any text is accepted; an empty text, or an escape cut short at the end, gives an empty password.
std::string Unscramble(std::string_view text);

// The Blowfish key of "Passwords.bf": the file key, with each byte k XORed with passphrase byte
// (k mod n) rotated left by ((k div n) mod 8) bits when a passphrase of n bytes is given.
std::string PasswordFileCipherKey(std::string_view passphrase);

// The fixed values, for the tests that check their forms.
std::string_view PasswordFileKey();  // 119 characters, one line
std::string_view ScramblingKey();    // 161 characters, four lines
// The substitution S (a permutation of 17 printable characters; all other bytes map to
// themselves) and its inverse.
std::uint8_t SubstituteByte(std::uint8_t b);
std::uint8_t UnsubstituteByte(std::uint8_t b);

}  // namespace tellweir
