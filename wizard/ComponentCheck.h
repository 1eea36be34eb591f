#pragma once
// Start-up makes sure the file-system services that the file and folder
// tests rely on work before it trusts them (message 98 otherwise). Here that
// is a probe of the file system; tests can make it fail.
namespace orvex::wizard {

bool fileSystemComponentAvailable();
// Tests only: makes the next checks fail (true) or probe again (false).
void setFileSystemComponentBroken(bool broken);

}  // namespace orvex::wizard
