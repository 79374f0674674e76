// The processor description from /proc/cpuinfo texts: cores counted across
// sockets and hyper-threads, and what can be read when parts are missing.
#include "support/qt_printers.h"

#include "platform/processor_info.h"

#include <gtest/gtest.h>

using tarvic::describeProcessor;

namespace {

// One entry of an x86 /proc/cpuinfo.
QString x86Processor(int processor, int physicalId, int coreId)
{
    return QStringLiteral("processor\t: %1\n"
                          "vendor_id\t: ExampleVendor\n"
                          "cpu family\t: 6\n"
                          "model\t\t: 45\n"
                          "model name\t: Example Server CPU 2.00GHz\n"
                          "cpu MHz\t\t: 1999.993\n"
                          "physical id\t: %2\n"
                          "siblings\t: 4\n"
                          "core id\t\t: %3\n"
                          "cpu cores\t: 2\n"
                          "flags\t\t: fpu vme de pse tsc msr pae mce lm\n"
                          "address sizes\t: 46 bits physical, 48 bits virtual\n"
                          "\n")
        .arg(processor)
        .arg(physicalId)
        .arg(coreId);
}

TEST(ProcessorInfoTest, TwoSocketsWithHyperThreading)
{
    // Two sockets of two cores, each core with two threads, listed the way
    // the kernel lists them (first threads, then their siblings).
    QString cpuinfo;
    int processor = 0;
    for (int thread = 0; thread < 2; ++thread)
        for (int socket = 0; socket < 2; ++socket)
            for (int core = 0; core < 2; ++core)
                cpuinfo += x86Processor(processor++, socket, core);
    EXPECT_EQ(describeProcessor(cpuinfo, QStringLiteral("x86_64")),
              QStringLiteral("Example Server CPU 2.00GHz,  64-bit,  Number of physical cores: 4,  "
                             "Number of logical cores: 8"));
    EXPECT_EQ(describeProcessor(cpuinfo, QStringLiteral("i686")),
              QStringLiteral("Example Server CPU 2.00GHz,  32-bit,  Number of physical cores: 4,  "
                             "Number of logical cores: 8"));
}

TEST(ProcessorInfoTest, WhatCanBeReadWhenPartsAreMissing)
{
    // An arm64 machine: no model name, no core ids.
    const QString arm64 = QStringLiteral("processor\t: 0\nBogoMIPS\t: 48.00\nFeatures\t: fp asimd\n"
                                         "CPU implementer\t: 0x41\nCPU part\t: 0xd08\n\n"
                                         "processor\t: 1\nBogoMIPS\t: 48.00\nFeatures\t: fp asimd\n"
                                         "CPU implementer\t: 0x41\nCPU part\t: 0xd08\n\n");
    EXPECT_EQ(describeProcessor(arm64, QStringLiteral("aarch64")),
              QStringLiteral("64-bit,  Number of logical cores: 2"));

    // An older ARM kernel names the processor on its own line.
    const QString armv7 = QStringLiteral("Processor\t: ARMv7 Processor rev 4 (v7l)\n"
                                         "processor\t: 0\nprocessor\t: 1\n\nHardware\t: Board\n");
    EXPECT_EQ(describeProcessor(armv7, QStringLiteral("armv7l")),
              QStringLiteral("ARMv7 Processor rev 4 (v7l),  32-bit,  Number of logical cores: 2"));

    // Nothing read at all, or only the machine.
    EXPECT_EQ(describeProcessor(QString(), QString()), QString());
    EXPECT_EQ(describeProcessor(QString(), QStringLiteral("x86_64")), QStringLiteral("64-bit"));
    // A text cut short inside an entry still counts what it holds.
    const QString cut = x86Processor(0, 0, 0) + QStringLiteral("processor\t: 1\nvendor_id\t: Ex");
    EXPECT_EQ(describeProcessor(cut, QStringLiteral("x86_64")),
              QStringLiteral("Example Server CPU 2.00GHz,  64-bit,  Number of physical cores: 1,  "
                             "Number of logical cores: 2"));
}

TEST(ProcessorInfoTest, ThisMachineIsDescribed)
{
    const QString description = tarvic::GetProcessorDescription();
    EXPECT_TRUE(description.contains(QStringLiteral("Number of logical cores: ")))
        << description.toStdString();
    EXPECT_TRUE(description.contains(QStringLiteral("-bit"))) << description.toStdString();
}

}  // namespace
