#pragma once

#include <functional>
#include <string>

namespace zentil {

enum class Mode { Encrypt, Decrypt };

// Brings every file of the locker folder at lockerPath into the wanted state under the password.
// Waits for any other run on the same locker first. Returns true when every file is in the
// wanted state. beforeChanges, when given, is called once before the first file is replaced.
bool run(Mode mode, const std::string &lockerPath, const std::string &password,
         const std::function<void()> &beforeChanges = {});

} // namespace zentil
