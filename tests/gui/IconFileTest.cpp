// The Windows icon file: the directory's fixed little-endian fields, and the committed icon and
// window pictures as the Windows build embeds them.

#include "gui/IconFile.hpp"

#include "support/TestSupport.hpp"

#include <QFile>
#include <QImage>
#include <QString>

#include <gtest/gtest.h>

namespace {

using testing_support::hex;

TEST(IconFileTest, DirectoryThenImagesInOrder) {
    const IconFile::Image images[] = {{16, 16, {0xA1, 0xA2, 0xA3, 0xA4, 0xA5}},
                                      {256, 256, {0xB1, 0xB2, 0xB3}}};
    EXPECT_EQ(hex(IconFile::bytes(images)), hex("0000 0100 0200"
                                                "10 10 00 00 0100 2000 05000000 26000000"
                                                "00 00 00 00 0100 2000 03000000 2B000000"
                                                "A1A2A3A4A5 B1B2B3"));
}

TEST(IconFileTest, RefusesWhatTheDirectoryCannotHold) {
    const std::vector<std::uint8_t> png = {0x89};
    const struct {
        const char* what;
        std::vector<IconFile::Image> images;
    } rows[] = {
        {"no image", {}},
        {"width 0", {{0, 16, png}}},
        {"height 257", {{16, 257, png}}},
        {"no bytes", {{16, 16, png}, {32, 32, {}}}},
    };
    for (const auto& row : rows) {
        EXPECT_TRUE(IconFile::bytes(row.images).empty()) << row.what;
    }
}

QByteArray readFile(const QString& name) {
    QFile file(QStringLiteral(DETECTOR_SOURCE_DIR "/packaging/windows/") + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::uint32_t little(const QByteArray& data, qsizetype at, int bytes) {
    std::uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) {
        value = (value << 8) | static_cast<std::uint8_t>(data[at + i]);
    }
    return value;
}

// What `./x icons` last wrote: every size the shell asks for, each entry a PNG of its size,
// laid end to end after the directory.
TEST(IconFileTest, CommittedIconHoldsEverySize) {
    const QByteArray ico = readFile(QStringLiteral("detector-updater.ico"));
    ASSERT_GE(ico.size(), 6);
    ASSERT_EQ(little(ico, 0, 4), 0x00010000u);
    const int sizes[] = {16, 20, 24, 32, 40, 48, 64, 256};
    ASSERT_EQ(little(ico, 4, 2), std::size(sizes));
    std::uint32_t next = 6 + 16 * std::size(sizes);
    for (std::size_t i = 0; i < std::size(sizes); ++i) {
        const qsizetype entry = 6 + 16 * static_cast<qsizetype>(i);
        const std::uint32_t length = little(ico, entry + 8, 4);
        const std::uint32_t offset = little(ico, entry + 12, 4);
        EXPECT_EQ(little(ico, entry, 1), static_cast<std::uint32_t>(sizes[i] % 256)) << i;
        EXPECT_EQ(little(ico, entry + 6, 2), 32u) << i;
        EXPECT_EQ(offset, next) << i;
        ASSERT_LE(std::uint64_t{offset} + length, static_cast<std::uint64_t>(ico.size())) << i;
        const QImage image = QImage::fromData(ico.mid(offset, length), "PNG");
        EXPECT_EQ(image.size(), QSize(sizes[i], sizes[i])) << i;
        EXPECT_TRUE(image.hasAlphaChannel()) << i;
        next = offset + length;
    }
    EXPECT_EQ(next, static_cast<std::uint32_t>(ico.size()));
}

TEST(IconFileTest, CommittedWindowPicturesAtTwiceTheirSize) {
    const struct {
        const char* file;
        QSize size;
    } rows[] = {{"artwork/logo.png", {720, 300}},
                {"artwork/device.png", {340, 180}},
                {"artwork/database.png", {96, 96}}};
    for (const auto& row : rows) {
        const QImage image = QImage::fromData(readFile(QString::fromLatin1(row.file)), "PNG");
        EXPECT_EQ(image.size(), row.size) << row.file;
    }
}

} // namespace
