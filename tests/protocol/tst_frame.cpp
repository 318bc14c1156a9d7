#include "Frame.h"
#include "TestSupport.h"

#include <QTest>

#include <vector>

class TestFrame : public QObject
{
    Q_OBJECT

private slots:
    void checkFrame_data();
    void checkFrame();
    void checkByteOfShortFrames();
};

namespace {

std::vector<std::uint8_t> FullRecord(int checkDelta)
{
    TFrameBuffer rec = BlankRecord();
    PatchBytes(rec, "4: 41 05 AA 55 AA 55; 100*20: FF");  // start and end bytes inside the data
    SealFrame(rec);
    rec[FrameCheckOffset] = static_cast<std::uint8_t>(rec[FrameCheckOffset] + checkDelta);
    return {rec.begin(), rec.end()};
}

} // namespace

void TestFrame::checkFrame_data()
{
    using Bytes = std::vector<std::uint8_t>;
    QTest::addColumn<QByteArray>("block");
    QTest::addColumn<bool>("sound");

    const auto row = [](const char *name, const Bytes &b, bool sound) {
        QTest::newRow(name) << QByteArray(reinterpret_cast<const char *>(b.data()), qsizetype(b.size())) << sound;
    };
    row("probe request", Bytes(ProbeRequest.begin(), ProbeRequest.end()), true);
    row("empty data: four bytes", {0xAA, 0x55, 0x00, 0xAA}, true);
    row("full record with AA and 55 in the data", FullRecord(0), true);
    row("check byte off by one", FullRecord(1), false);
    row("wrong first start byte", {0xAB, 0x55, 0x14, 0x01, 0x11, 0x26, 0xAA}, false);
    row("wrong second start byte", {0xAA, 0x56, 0x14, 0x01, 0x11, 0x26, 0xAA}, false);
    row("wrong end byte", {0xAA, 0x55, 0x14, 0x01, 0x11, 0x26, 0xAB}, false);
    row("three bytes", {0xAA, 0x55, 0xAA}, false);
    const Bytes rec = FullRecord(0);
    row("record split: first block", Bytes(rec.begin(), rec.begin() + 100), false);
    row("record split: second block", Bytes(rec.begin() + 100, rec.end()), false);
    row("empty block", {}, false);
    row("sum wraps modulo 256", {0xAA, 0x55, 0x95, 0xC6, 0x02, 0x5D, 0xAA}, true);

    // A sound frame one byte too long for the receive buffer must still fail.
    Bytes longBlock(FrameBufferSize + 1, 0x00);
    longBlock[0] = 0xAA, longBlock[1] = 0x55, longBlock.back() = 0xAA;
    row("205 bytes", longBlock, false);
}

void TestFrame::checkFrame()
{
    QFETCH(QByteArray, block);
    QFETCH(bool, sound);
    // Exactly the block's bytes, so that a read past Len trips AddressSanitizer.
    std::vector<std::uint8_t> buf(block.begin(), block.end());
    QCOMPARE(CheckFrame(buf.data(), buf.size()), sound);
}

// The sound frames above pin the ordinary sums; these are the short ends.
void TestFrame::checkByteOfShortFrames()
{
    QCOMPARE(FrameCheckByte(ProbeRequest.data(), 1), std::uint8_t(0));
    QCOMPARE(FrameCheckByte(ProbeRequest.data(), 2), ProbeRequest[2]);
}

QTEST_APPLESS_MAIN(TestFrame)
#include "tst_frame.moc"
