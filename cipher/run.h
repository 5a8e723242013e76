#pragma once

#include <functional>
#include <string>

namespace zentil {

enum class Mode { Encrypt, Decrypt };

// How a decrypt lets its caller keep a record that the locker holds plain data, true at every
// moment: record() has returned before the first decrypted byte is written anywhere, temporary
// files included. It is started on a thread of its own as soon as a file that claims to be
// encrypted is opened, so that it overlaps the derivation of the key; undo() is called at the
// end when it was started but no file was decrypted after all (a wrong password, damage).
struct PlainRecord {
    std::function<void()> record;
    std::function<void()> undo;
};

// Brings every file of the locker folder at lockerPath into the wanted state under the password.
// Waits for any other run on the same locker first. Returns true when every file is in the
// wanted state. A decrypt keeps plainRecord, when given.
bool run(Mode mode, const std::string &lockerPath, const std::string &password,
         const PlainRecord &plainRecord = {});

} // namespace zentil
