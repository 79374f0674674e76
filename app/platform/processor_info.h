// The processor description written with exported results:
// "<model>,  <width>-bit,  Number of physical cores: <n>,  Number of logical cores: <m>".
//
// The model, the physical cores (distinct pairs of physical id and core id)
// and the logical cores ("processor" entries) come from /proc/cpuinfo, the
// address width from the system's machine name. A part that cannot be read
// is left out with its separator, so a failed or partial read still gives
// what could be read (an empty text when nothing could).
#pragma once

#include <QString>

#include <functional>

namespace tarvic {

// The description of the processors of this machine.
QString GetProcessorDescription();
// Replaces the machine's description (tests); an empty function restores it.
void setProcessorDescriptionSource(std::function<QString()> source);

// The description from the text of a /proc/cpuinfo and a machine name as
// the kernel gives it ("x86_64", "aarch64", "i686"; empty when unknown).
QString describeProcessor(const QString& cpuinfo, const QString& machine);

}  // namespace tarvic
