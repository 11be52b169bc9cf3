// What the packet reader is given by name: only a regular file (or a link to one) is
// read; a FIFO, a device, a socket, a directory, a link loop or a file above the ceiling
// is refused by name before anything is read. One body, the kinds of file as data.

#include "platform/packet/PacketBytes.h"

#include "platform/Error.h"
#include "platform/dataset/DataPacket.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "support/SpecialFiles.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace platform;

namespace {

// A small good packet file.
void writeGood(const QString& path)
{
    DataPacket p;
    p.fields = {packettest::fieldDef("CDCAIXA", FieldType::String, 3)};
    p.rows = {{QStringLiteral("001")}};
    writePacketFile(p, path);
}

void link(const QString& target, const QString& name)
{
    ASSERT_EQ(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(name).constData()), 0);
}

struct Kind {
    const char* what;
    std::function<void(const QString& path, const QString& dir)> make;
    const char* message;  // a part of the refusal; null: the file is read
};

class PacketFileKind : public testing::TestWithParam<Kind> {
protected:
    void TearDown() override { setPacketSizeLimit(before); }
    QTemporaryDir dir;
    const qint64 before = packetSizeLimit();
};

TEST_P(PacketFileKind, OnlyARegularFileIsRead)
{
    const QString path = dir.filePath(QStringLiteral("T.CDS"));
    GetParam().make(path, dir.path());
    // A reader that opened a FIFO or read a device would never come back: the alarm ends
    // the test process instead of letting it hang.
    ::alarm(20);
    try {
        const DataPacket p = readPacketFile(path);
        ::alarm(0);
        EXPECT_EQ(GetParam().message, nullptr) << "read " << p.rows.size() << " rows";
        EXPECT_EQ(p.rows.value(0).value(0).toString(), QStringLiteral("001"));
    } catch (const PacketError& e) {
        ::alarm(0);
        ASSERT_NE(GetParam().message, nullptr) << e.what();
        EXPECT_TRUE(e.text().startsWith(path + QStringLiteral(": "))) << e.what();
        EXPECT_TRUE(e.text().contains(QLatin1String(GetParam().message))) << e.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, PacketFileKind,
    testing::Values(
        Kind{"regular file", [](const QString& p, const QString&) { writeGood(p); }, nullptr},
        Kind{"link to a regular file",
             [](const QString& p, const QString& d) {
                 writeGood(d + QStringLiteral("/real.cds"));
                 link(d + QStringLiteral("/real.cds"), p);
             },
             nullptr},
        Kind{"FIFO", [](const QString& p, const QString&) { ASSERT_EQ(::mkfifo(QFile::encodeName(p).constData(), 0600), 0); },
             "is a FIFO"},
        Kind{"link to /dev/zero", [](const QString& p, const QString&) { link(QStringLiteral("/dev/zero"), p); },
             "is a character device"},
        Kind{"socket", [](const QString& p, const QString&) { testsupport::socketFile(p); }, "is a socket"},
        Kind{"link loop",
             [](const QString& p, const QString& d) {
                 link(p, d + QStringLiteral("/other"));
                 link(d + QStringLiteral("/other"), p);
             },
             "is a symbolic link loop"},
        Kind{"directory", [](const QString& p, const QString&) { QDir().mkpath(p); }, "is a directory"},
        Kind{"link to nothing", [](const QString& p, const QString& d) { link(d + QStringLiteral("/gone.cds"), p); },
             "file not found"},
        Kind{"above the ceiling",
             [](const QString& p, const QString&) {
                 writeGood(p);
                 setPacketSizeLimit(QFile(p).size() - 1);
             },
             "a data packet may have"}),
    [](const testing::TestParamInfo<Kind>& info) {
        std::string name = info.param.what;
        for (char& c : name)
            if (!isalnum(static_cast<unsigned char>(c)))
                c = '_';
        return name;
    });

}  // namespace
