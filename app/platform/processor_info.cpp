#include "platform/processor_info.h"

#include <QFile>
#include <QSet>
#include <QStringList>

#include <iterator>
#include <utility>

#include <sys/utsname.h>

namespace tarvic {
namespace {

// Keys that name the processor, the first one found counting: x86 and
// newer kernels, older ARM, MIPS, PowerPC.
const char* const kModelKeys[] = {"model name", "Processor", "cpu model", "cpu"};

// /proc/cpuinfo of even a very large machine is far below this.
constexpr qint64 kMaxCpuinfoBytes = 16 * 1024 * 1024;

std::function<QString()>& descriptionSource()
{
    static std::function<QString()> source;
    return source;
}

int addressWidth(const QString& machine)
{
    if (machine.isEmpty())
        return 0;
    if (machine.contains(QLatin1String("64")) || machine == QLatin1String("s390x"))
        return 64;
    return 32;
}

}  // namespace

QString describeProcessor(const QString& cpuinfo, const QString& machine)
{
    int logical = 0;
    QString model;
    int modelRank = -1;  // index of the key that gave the model; lower wins
    QSet<QString> cores;
    QString physicalId;
    QString coreId;
    bool coreIdsSeen = false;
    const auto endProcessor = [&] {
        if (!coreId.isEmpty())
            cores.insert(physicalId + QLatin1Char('/') + coreId);
        physicalId.clear();
        coreId.clear();
    };

    for (const QString& line : cpuinfo.split(QLatin1Char('\n'))) {
        const qsizetype colon = line.indexOf(QLatin1Char(':'));
        if (colon < 0)
            continue;
        const QString key = line.left(colon).trimmed();
        const QString value = line.mid(colon + 1).trimmed();
        if (key == QLatin1String("processor")) {
            endProcessor();
            ++logical;
        } else if (key == QLatin1String("physical id")) {
            physicalId = value;
        } else if (key == QLatin1String("core id")) {
            coreId = value;
            coreIdsSeen = true;
        } else {
            for (int rank = 0; rank < static_cast<int>(std::size(kModelKeys)); ++rank) {
                // The last processor's name, as for a list of processors.
                if (key == QLatin1String(kModelKeys[rank]) && !value.isEmpty() &&
                    (modelRank < 0 || rank <= modelRank)) {
                    model = value;
                    modelRank = rank;
                }
            }
        }
    }
    endProcessor();

    QStringList parts;
    if (!model.isEmpty())
        parts << model;
    if (const int width = addressWidth(machine))
        parts << QStringLiteral("%1-bit").arg(width);
    if (coreIdsSeen)
        parts << QStringLiteral("Number of physical cores: %1").arg(cores.size());
    if (logical > 0)
        parts << QStringLiteral("Number of logical cores: %1").arg(logical);
    return parts.join(QStringLiteral(",  "));
}

QString GetProcessorDescription()
{
    if (descriptionSource())
        return descriptionSource()();
    QString cpuinfo;
    QFile file(QStringLiteral("/proc/cpuinfo"));
    if (file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        // The kernel reports no size for the file: read it to its end.
        QByteArray bytes;
        while (bytes.size() < kMaxCpuinfoBytes) {
            const QByteArray chunk = file.read(64 * 1024);
            if (chunk.isEmpty())
                break;
            bytes += chunk;
        }
        cpuinfo = QString::fromLocal8Bit(bytes);
    }
    QString machine;
    struct utsname names;
    if (::uname(&names) == 0)
        machine = QString::fromLocal8Bit(names.machine);
    return describeProcessor(cpuinfo, machine);
}

void setProcessorDescriptionSource(std::function<QString()> source)
{
    descriptionSource() = std::move(source);
}

}  // namespace tarvic
