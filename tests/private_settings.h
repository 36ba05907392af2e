#pragma once
// Keeps every test away from the user's own settings: QSettings, in this process and in the
// programs it starts, reads and writes in a folder of the test's own.
namespace testsettings {

// Call once, before the first QSettings is made. The folder lives as long as the process.
void UsePrivateSettings();
// Forgets whatever the tests before have left there.
void ForgetSettings();

}  // namespace testsettings
