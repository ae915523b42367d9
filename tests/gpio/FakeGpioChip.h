#pragma once

#include <string>
#include <vector>

// One GPIO chip faked at the system-call level, so that libgpiod itself (1.6 on uAPI v1, 2.x on
// uAPI v2) runs against it. Linked into a test program or preloaded into libgpiod's own tools
// (LD_PRELOAD, configured by KTR_FAKE_GPIO=NAME,LINES,LABEL and KTR_FAKE_GPIO_BUSY=OFFSET=CONSUMER;...;
// KTR_FAKE_GPIO_TRACE=1 prints each request and value change on stderr; KTR_FAKE_GPIO_NO_SYSFS=1
// leaves the sysfs attribute out).
//
// It answers for /dev/NAME: lstat/stat (a character device), the sysfs attribute libgpiod checks
// (kept under sysfsRoot, as sysfsRoot/NAME/dev), open, close, and the chip's ioctls.
namespace FakeGpioChip {

// Replaces any chip installed before. withSysfs false leaves the sysfs attribute out.
void install(const std::string& name, unsigned lines, const std::string& label, const std::string& sysfsRoot,
             bool withSysfs = true);
void uninstall();
// Marks the line as held by another consumer.
void setBusy(unsigned offset, const std::string& consumer);
// The next opens of the chip fail with this errno (0: they succeed).
void setOpenError(int error);

// The level each line drives (0 or 1), -1 for a line that is not an output held by a request.
std::vector<int> levels();
// Value changes through set-values ioctls since install(), and requests made.
int valueWrites();
int requests();
// The consumer holding the line, empty when free.
std::string consumer(unsigned offset);
// Descriptors of the chip and of requests that are still open.
int openDescriptors();

} // namespace FakeGpioChip
