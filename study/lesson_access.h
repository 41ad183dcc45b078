#pragma once
// Who may open a lesson: the password protection kept in the lesson file
// ("password"/"enabled", "user"/"name", "user"/"pw") and the check the login
// makes. No widgets here; the Login and Lesson Properties dialogs call these.
#include <string>

// The stored form of a password: every byte's code plus one.
std::string EncodeLessonPassword(const std::string& password);

// The text to write for value so that a profile read gives value back
// exactly: a value beginning or ending with a blank or a quote is written
// inside double quotes, which the reader (and the system's own) removes.
std::string ProfileTextFor(const std::string& value);

// True when the lesson file asks for a login ("password"/"enabled").
bool LessonIsProtected(const std::string& lessonPath);

// True when user and password match the stored user name and encoded
// password, both compared without regard to letter case.
bool LessonLoginAccepts(const std::string& lessonPath, const std::string& user, const std::string& password);
