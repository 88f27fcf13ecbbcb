// .zlb archives: round trips through the writer and the reader, the CRC check
// before anything is read, a set of hostile archives (each refused with its
// message and nothing written outside the target), the fuzz corpus, and the
// "zlb" subcommand of stbrelva-cli.
#include "platform/fuzz/zlbfuzz.h"
#include "platform/zlbarchive.h"

#include <QBuffer>
#include <QDirIterator>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <zlib.h>

using namespace stb;

namespace {

struct EntradaTeste {
    QString name;
    QString folder;
    QByteArray data;
    bool stored = false;
};

QByteArray randomBytes(int n, quint32 seed)
{
    QRandomGenerator g(seed);
    QByteArray b(n, Qt::Uninitialized);
    for (int i = 0; i < n; ++i)
        b[i] = static_cast<char>(g.bounded(256));
    return b;
}

QByteArray textBytes(int n)
{
    QByteArray b;
    for (int i = 0; b.size() < n; ++i)
        b += "7891234" + QByteArray::number(100000 + i) + ";DIPIRONA SODICA 500MG;12,34;0;0;0;GEN;LAB;+\r\n";
    b.truncate(n);
    return b;
}

void putLe32(QByteArray &b, int at, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<char>((v >> (8 * i)) & 0xff);
}

QByteArray zcompress(const QByteArray &in)
{
    uLongf len = compressBound(static_cast<uLong>(in.size()));
    QByteArray out(static_cast<qsizetype>(len), Qt::Uninitialized);
    compress2(reinterpret_cast<Bytef *>(out.data()), &len, reinterpret_cast<const Bytef *>(in.constData()),
        static_cast<uLong>(in.size()), 6);
    out.resize(static_cast<qsizetype>(len));
    return out;
}

// A raw record as the format lays it out.
struct Rec {
    QByteArray name, folder;
    quint32 size = 0, offset = 0;
    bool stored = true;
};

// Builds an archive byte by byte: `data`, then the directory, then a trailer
// whose CRC is right, so the reader's later checks are the ones exercised.
QByteArray build(const QByteArray &data, const QList<Rec> &recs, bool compressDir, qint64 countOverride = -1,
    qint64 dirOffsetOverride = -1)
{
    QByteArray dir(recs.size() * 532, '\0');
    for (int i = 0; i < recs.size(); ++i) {
        const Rec &r = recs[i];
        const int at = i * 532;
        dir[at] = static_cast<char>(r.name.size());
        dir.replace(at + 1, r.name.size(), r.name);
        dir[at + 256] = static_cast<char>(r.folder.size());
        dir.replace(at + 257, r.folder.size(), r.folder);
        putLe32(dir, at + 512, r.size);
        putLe32(dir, at + 520, r.offset);
        dir[at + 528] = r.stored ? 1 : 0;
    }
    QByteArray file = data;
    const quint32 dirOffset
        = dirOffsetOverride >= 0 ? static_cast<quint32>(dirOffsetOverride) : static_cast<quint32>(file.size());
    file += compressDir ? zcompress(dir) : dir;
    QByteArray trailer(36, '\0');
    putLe32(trailer, 0,
        static_cast<quint32>(
            crc32(0, reinterpret_cast<const Bytef *>(file.constData()), static_cast<uInt>(file.size()))));
    putLe32(trailer, 4, countOverride >= 0 ? static_cast<quint32>(countOverride) : static_cast<quint32>(recs.size()));
    putLe32(trailer, 16, dirOffset);
    trailer[20] = compressDir ? 1 : 0;
    return file + trailer;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList filesUnder(const QString &dir)
{
    QStringList out;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        out << QDir(dir).relativeFilePath(it.next());
    out.sort();
    return out;
}

} // namespace

Q_DECLARE_METATYPE(QList<EntradaTeste>)

class TestZlb : public QObject {
    Q_OBJECT

private slots:
    void roundTrip_data();
    void roundTrip();
    void crcMismatchRejectedFirst_data();
    void crcMismatchRejectedFirst();
    void hostile_data();
    void hostile();
    void hostileEntryLeavesNothing();
    void symlinkInTarget();
    void failedEntryKeepsPreviousFile_data();
    void failedEntryKeepsPreviousFile();
    void stateErrors();
    void zipBombStopsAtLimit();
    void fuzzCorpus_data();
    void fuzzCorpus();
    void cli_data();
    void cli();

private:
    QTemporaryDir m_tmp;
};

void TestZlb::roundTrip_data()
{
    QTest::addColumn<QList<EntradaTeste>>("entradas");
    QTest::addColumn<bool>("compressDir");
    const QByteArray small = "linha 1;linha 2\r\n";
    QTest::newRow("no entries, compressed directory") << QList<EntradaTeste> {} << true;
    QTest::newRow("no entries, raw directory") << QList<EntradaTeste> {} << false;
    QTest::newRow("one deflated") << QList<EntradaTeste> {{"TabMedic.txt", {}, small, false}} << true;
    QTest::newRow("one stored, raw directory") << QList<EntradaTeste> {{"TabMedic.txt", {}, small, true}} << false;
    QTest::newRow("empty entries") << QList<EntradaTeste> {{"vazio.txt", {}, {}, false}, {"vazio2.txt", {}, {}, true}}
                                   << true;
    QTest::newRow("large random, 4096-byte blocks") << QList<EntradaTeste> {
        {"a.bin", {}, randomBytes(1 << 20, 7), false},
        {"b.bin", {}, randomBytes(12289, 8), true}} << true;
    QTest::newRow("large text table") << QList<EntradaTeste> {{"TB_MEDICAMENTO_012025.txt", {}, textBytes(3 << 20),
        false}} << false;
    QList<EntradaTeste> many;
    for (int i = 0; i < 300; ++i)
        many << EntradaTeste {QStringLiteral("f%1.txt").arg(i),
            i % 3 ? QStringLiteral("sub\\n%1").arg(i % 7) : QString(), textBytes(i * 37), i % 2 == 0};
    QTest::newRow("300 entries in folders") << many << true;
    QTest::newRow("Latin-1 names") << QList<EntradaTeste> {{QStringLiteral("Relação.txt"), QStringLiteral("Medicações"),
        small, false}} << true;
}

void TestZlb::roundTrip()
{
    QFETCH(QList<EntradaTeste>, entradas);
    QFETCH(bool, compressDir);
    QTemporaryDir dir;
    const QString archive = dir.filePath(QStringLiteral("x.zlb"));
    ZLBWriter w;
    QVERIFY(w.create(archive, compressDir));
    for (const EntradaTeste &s : entradas)
        QVERIFY2(w.addData(s.data, s.name, s.folder, s.stored), qPrintable(w.errorString()));
    QVERIFY(w.finish());

    TZLBArchive zlb;
    QVERIFY2(zlb.open(archive), qPrintable(zlb.errorString()));
    QCOMPARE(zlb.count(), entradas.size());
    qint64 total = 0;
    for (int i = 0; i < entradas.size(); ++i) {
        QCOMPARE(zlb.entry(i).name, entradas[i].name);
        QCOMPARE(zlb.entry(i).folder, entradas[i].folder);
        QCOMPARE(zlb.entry(i).stored, entradas[i].stored);
        QCOMPARE(qint64(zlb.entry(i).size), entradas[i].data.size());
        QBuffer buf;
        buf.open(QIODevice::WriteOnly);
        QVERIFY2(zlb.readEntry(i, buf), qPrintable(zlb.errorString()));
        QVERIFY(buf.data() == entradas[i].data);
        total += entradas[i].data.size();
    }
    QSignalSpy names(&zlb, &TZLBArchive::extracting);
    QSignalSpy bytes(&zlb, &TZLBArchive::progress);
    const QString out = dir.filePath(QStringLiteral("saida"));
    QVERIFY2(zlb.extractAll(out), qPrintable(zlb.errorString()));
    QCOMPARE(names.size(), entradas.size());
    if (total > 0) {
        QCOMPARE(bytes.last().at(0).toLongLong(), total);
        QCOMPARE(bytes.last().at(1).toLongLong(), total);
    }
    for (const EntradaTeste &s : entradas) {
        QString folder = s.folder;
        folder.replace(QLatin1Char('\\'), QLatin1Char('/'));
        const QString path = QDir(out).filePath(folder.isEmpty() ? s.name : folder + QLatin1Char('/') + s.name);
        QVERIFY2(QFileInfo::exists(path), qPrintable(path));
        QVERIFY(readFile(path) == s.data);
    }
    // Without the folders every entry lands in the target itself.
    if (!entradas.isEmpty()) {
        const QString flat = dir.filePath(QStringLiteral("plano"));
        QVERIFY(zlb.extract(entradas.size() - 1, flat, false));
        QVERIFY(QFileInfo::exists(QDir(flat).filePath(entradas.last().name)));
    }
}

void TestZlb::crcMismatchRejectedFirst_data()
{
    QTest::addColumn<int>("flipAt"); // negative: from the end
    QTest::newRow("byte of an entry") << 10;
    QTest::newRow("byte of the directory") << -40;
    QTest::newRow("CRC field of the trailer") << -36;
}

void TestZlb::crcMismatchRejectedFirst()
{
    QFETCH(int, flipAt);
    QByteArray bytes = build(textBytes(5000), {{"a.txt", {}, 5000, 0, true}}, false);
    const int at = flipAt >= 0 ? flipAt : static_cast<int>(bytes.size()) + flipAt;
    bytes[at] = static_cast<char>(bytes[at] ^ 0x55);
    const QString path = m_tmp.filePath(QStringLiteral("crc.zlb"));
    QVERIFY(writeFile(path, bytes));
    TZLBArchive zlb;
    QVERIFY(!zlb.open(path));
    QCOMPARE(zlb.errorString(), QStringLiteral("O Arquivo está corrompido"));
    QVERIFY(!zlb.isOpen());
    QCOMPARE(zlb.count(), 0);
    QVERIFY(!zlb.extractAll(m_tmp.filePath(QStringLiteral("crc-saida"))));
    QCOMPARE(zlb.errorString(), QStringLiteral("Nenhum arquivo está aberto atualmente"));
    QVERIFY(!QFileInfo::exists(m_tmp.filePath(QStringLiteral("crc-saida"))));
}

void TestZlb::hostile_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("opens");
    QTest::addColumn<QString>("error");
    const QString corrupt = QStringLiteral("O Arquivo está corrompido");
    const QString lista = QStringLiteral("Incapaz de ler a lista de arquivos");
    const QByteArray data = textBytes(8000);
    const QByteArray good = build(data, {{"a.txt", {}, 8000, 0, true}}, true);

    QTest::newRow("shorter than a trailer") << good.left(20) << false << corrupt;
    QTest::newRow("trailer cut off") << good.left(good.size() - 10) << false << corrupt;
    QTest::newRow("empty file") << QByteArray() << false << corrupt;
    QTest::newRow("directory offset past the end")
        << build(data, {{"a.txt", {}, 8000, 0, true}}, false, -1, 1 << 30) << false << lista;
    QTest::newRow("huge entry count, raw directory")
        << build(data, {{"a.txt", {}, 8000, 0, true}}, false, 0xFFFFFFFF) << false << lista;
    QTest::newRow("entry count larger than the file")
        << build(data, {{"a.txt", {}, 8000, 0, true}}, false, 5000) << false << lista;
    QTest::newRow("huge entry count, compressed directory")
        << build(data, {{"a.txt", {}, 8000, 0, true}}, true, 90000) << false << lista;
    QTest::newRow("compressed directory is garbage") << build(data, {}, true, 3, 0) << false << lista;
    QTest::newRow("entry offset past the end")
        << build(data, {{"a.txt", {}, 10, 0x7FFFFFFF, true}}, false) << false << lista;
    QTest::newRow("stored size past the end")
        << build(data, {{"a.txt", {}, 0xFFFFFF00, 0, true}}, false) << false << lista;
    QTest::newRow("deflated stream shorter than its size") << build(zcompress("abc"),
        {{"a.txt", {}, 10000000, 0, false}}, false) << true << QStringLiteral("Arquivo (0) está corrompido");
    QTest::newRow("declared 4 GB") << build(zcompress("abc"), {{"a.txt", {}, 0xFFFFFFFF, 0, false}}, false) << true
                                   << QStringLiteral("Arquivo (0) excede o tamanho permitido");
    QTest::newRow("deflated data is garbage") << build(randomBytes(3000, 3), {{"a.txt", {}, 3000, 0, false}}, false)
                                              << true << QStringLiteral("Arquivo (0) está corrompido");
    const QString bad = QStringLiteral("Nome de arquivo inválido no arquivo compactado (%1)");
    QTest::newRow("name with ..") << build(data, {{"..", {}, 10, 0, true}}, false) << true
                                  << bad.arg(QStringLiteral(".."));
    QTest::newRow("name escaping with back-slashes") << build(data, {{"..\\..\\evil.txt", {}, 10, 0, true}}, false)
                                                     << true << bad.arg(QStringLiteral("..\\..\\evil.txt"));
    QTest::newRow("name escaping with slashes") << build(data, {{"../../evil.txt", {}, 10, 0, true}}, false) << true
                                                << bad.arg(QStringLiteral("../../evil.txt"));
    QTest::newRow("folder with ..") << build(data, {{"evil.txt", "sub\\..\\..", 10, 0, true}}, false) << true
                                    << bad.arg(QStringLiteral("evil.txt"));
    QTest::newRow("absolute folder") << build(data, {{"evil.txt", "/tmp", 10, 0, true}}, false) << true
                                     << bad.arg(QStringLiteral("evil.txt"));
    QTest::newRow("folder from the root")
        << build(data, {{"evil.txt", "\\Windows", 10, 0, true}}, false) << true << bad.arg(QStringLiteral("evil.txt"));
    QTest::newRow("drive letter in the folder") << build(data, {{"evil.txt", "C:\\Windows", 10, 0, true}}, false)
                                                << true << bad.arg(QStringLiteral("evil.txt"));
    QTest::newRow("drive letter in the name")
        << build(data, {{"C:evil.txt", {}, 10, 0, true}}, false) << true << bad.arg(QStringLiteral("C:evil.txt"));
    QTest::newRow("empty name") << build(data, {{"", {}, 10, 0, true}}, false) << true << bad.arg(QString());
    QTest::newRow("control character") << build(data, {{"a\nb", {}, 10, 0, true}}, false) << true
                                       << bad.arg(QStringLiteral("a\nb"));
}

void TestZlb::hostile()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, opens);
    QFETCH(QString, error);
    QTemporaryDir dir;
    const QString archive = dir.filePath(QStringLiteral("hostil.zlb"));
    QVERIFY(writeFile(archive, bytes));
    const QString target = dir.filePath(QStringLiteral("alvo/pasta"));
    TZLBArchive zlb;
    if (!opens) {
        QVERIFY(!zlb.open(archive));
        QCOMPARE(zlb.errorString(), error);
        QCOMPARE(zlb.count(), 0);
    } else {
        QVERIFY2(zlb.open(archive), qPrintable(zlb.errorString()));
        QVERIFY(!zlb.extractAll(target));
        QCOMPARE(zlb.errorString(), error);
        QVERIFY(!zlb.extract(0, target));
        QCOMPARE(zlb.errorString(), error);
    }
    // Nothing written anywhere but the archive itself; no partial file left.
    QCOMPARE(filesUnder(dir.path()), QStringList {QStringLiteral("hostil.zlb")});
}

void TestZlb::hostileEntryLeavesNothing()
{
    // A good entry before a hostile one: extractAll refuses the archive before
    // writing the first file.
    const QByteArray data = textBytes(100);
    QTemporaryDir dir;
    const QString archive = dir.filePath(QStringLiteral("misto.zlb"));
    QVERIFY(writeFile(archive, build(data, {{"bom.txt", {}, 100, 0, true}, {"mau.txt", "..", 100, 0, true}}, true)));
    TZLBArchive zlb;
    QVERIFY(zlb.open(archive));
    QVERIFY(!zlb.extractAll(dir.filePath(QStringLiteral("alvo"))));
    QCOMPARE(filesUnder(dir.path()), QStringList {QStringLiteral("misto.zlb")});
    // The good entry alone extracts.
    QVERIFY(zlb.extract(0, dir.filePath(QStringLiteral("alvo"))));
    QVERIFY(readFile(dir.filePath(QStringLiteral("alvo/bom.txt"))) == data);
}

void TestZlb::symlinkInTarget()
{
    QTemporaryDir dir;
    const QString outside = dir.filePath(QStringLiteral("fora"));
    const QString target = dir.filePath(QStringLiteral("alvo"));
    QVERIFY(QDir().mkpath(outside));
    QVERIFY(QDir().mkpath(target));
    QVERIFY(QFile::link(outside, QDir(target).filePath(QStringLiteral("sub"))));
    QVERIFY(QFile::link(
        QDir(outside).filePath(QStringLiteral("alvo.txt")), QDir(target).filePath(QStringLiteral("b.txt"))));
    const QString archive = dir.filePath(QStringLiteral("link.zlb"));
    const QByteArray data = textBytes(50);
    QVERIFY(writeFile(archive, build(data, {{"a.txt", "sub", 50, 0, true}}, false)));
    TZLBArchive zlb;
    QVERIFY(zlb.open(archive));
    QVERIFY(!zlb.extractAll(target));
    QVERIFY(filesUnder(outside).isEmpty());
    // A link standing where a file goes is replaced, never written through.
    QVERIFY(writeFile(archive, build(data, {{"b.txt", {}, 50, 0, true}}, false)));
    QVERIFY(zlb.open(archive));
    QVERIFY2(zlb.extractAll(target), qPrintable(zlb.errorString()));
    QVERIFY(filesUnder(outside).isEmpty());
    QVERIFY(!QFileInfo(QDir(target).filePath(QStringLiteral("b.txt"))).isSymLink());
}

void TestZlb::failedEntryKeepsPreviousFile_data()
{
    // An entry that fails part-way never replaces the file already there, and
    // the bytes written so far go away; a good one replaces it whole.
    const QByteArray data = textBytes(20000);
    const QByteArray packed = zcompress(data);
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("ok");
    QTest::newRow("good deflated entry") << build(packed, {{"TabMedic.txt", {}, 20000, 0, false}}, true) << true;
    QTest::newRow("good stored entry") << build(data, {{"TabMedic.txt", {}, 20000, 0, true}}, false) << true;
    QTest::newRow("stream cut in the middle")
        << build(packed.left(packed.size() / 2), {{"TabMedic.txt", {}, 20000, 0, false}}, true) << false;
    QTest::newRow("stream ends before its size")
        << build(packed, {{"TabMedic.txt", {}, 30000, 0, false}}, true) << false;
    QByteArray garbled = packed;
    for (qsizetype i = packed.size() / 3; i < packed.size() / 3 + 64; ++i)
        garbled[i] = static_cast<char>(~garbled[i]);
    QTest::newRow("stream garbled after a third")
        << build(garbled, {{"TabMedic.txt", {}, 20000, 0, false}}, true) << false;
}

void TestZlb::failedEntryKeepsPreviousFile()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, ok);
    QTemporaryDir dir;
    const QString archive = dir.filePath(QStringLiteral("mes.zlb"));
    QVERIFY(writeFile(archive, bytes));
    const QString target = dir.filePath(QStringLiteral("alvo"));
    QVERIFY(QDir().mkpath(target));
    const QByteArray previous("tabela do mes anterior");
    QVERIFY(writeFile(QDir(target).filePath(QStringLiteral("TabMedic.txt")), previous));
    // A file that happens to bear the name of the work file is left alone.
    const QString workName = QDir(target).filePath(QStringLiteral("TabMedic.txt.0.parcial"));
    QVERIFY(writeFile(workName, "de outro"));
    TZLBArchive zlb;
    QVERIFY2(zlb.open(archive), qPrintable(zlb.errorString()));
    QCOMPARE(zlb.extractAll(target), ok);
    const QByteArray now = readFile(QDir(target).filePath(QStringLiteral("TabMedic.txt")));
    if (ok) {
        QCOMPARE(now, textBytes(20000));
    } else {
        QCOMPARE(zlb.errorString(), QStringLiteral("Arquivo (0) está corrompido"));
        QCOMPARE(now, previous);
    }
    QCOMPARE(readFile(workName), QByteArray("de outro"));
    QCOMPARE(
        filesUnder(target), (QStringList {QStringLiteral("TabMedic.txt"), QStringLiteral("TabMedic.txt.0.parcial")}));
}

void TestZlb::stateErrors()
{
    TZLBArchive zlb;
    QVERIFY(!zlb.open(m_tmp.filePath(QStringLiteral("naoexiste.zlb"))));
    QCOMPARE(zlb.errorString(), QStringLiteral("Arquivo não encontrado"));
    QVERIFY(!zlb.extract(0, m_tmp.path()));
    QCOMPARE(zlb.errorString(), QStringLiteral("Nenhum arquivo está aberto atualmente"));
    const QString archive = m_tmp.filePath(QStringLiteral("um.zlb"));
    QVERIFY(writeFile(archive, build("abc", {{"a.txt", {}, 3, 0, true}}, true)));
    QVERIFY(zlb.open(archive));
    for (int bad : {-1, 1, 1000}) {
        QVERIFY(!zlb.extract(bad, m_tmp.path()));
        QCOMPARE(zlb.errorString(), QStringLiteral("Indice fora do limite"));
    }
    // A folder cannot be created where a file stands.
    QVERIFY(writeFile(m_tmp.filePath(QStringLiteral("arquivo")), "x"));
    QVERIFY(writeFile(archive, build("abc", {{"a.txt", "d", 3, 0, true}}, true)));
    QVERIFY(zlb.open(archive));
    QVERIFY(!zlb.extract(0, m_tmp.filePath(QStringLiteral("arquivo/sub"))));
    QCOMPARE(zlb.errorString(), QStringLiteral("Incapaz de criar a pasta de destino"));
    zlb.close();
    QVERIFY(!zlb.isOpen());
}

void TestZlb::zipBombStopsAtLimit()
{
    // 256 MB of zeros in a quarter of a megabyte, declared honestly.
    constexpr quint32 kSize = 256u << 20;
    QTemporaryDir dir;
    const QString archive = dir.filePath(QStringLiteral("bomba.zlb"));
    {
        QByteArray zeros(1 << 20, '\0');
        QByteArray packed;
        z_stream zs {};
        deflateInit(&zs, 9);
        QByteArray out(1 << 16, Qt::Uninitialized);
        for (quint32 i = 0; i < kSize / zeros.size(); ++i) {
            const bool last = i + 1 == kSize / zeros.size();
            zs.next_in = reinterpret_cast<Bytef *>(zeros.data());
            zs.avail_in = static_cast<uInt>(zeros.size());
            do {
                zs.next_out = reinterpret_cast<Bytef *>(out.data());
                zs.avail_out = static_cast<uInt>(out.size());
                deflate(&zs, last ? Z_FINISH : Z_NO_FLUSH);
                packed.append(out.constData(), out.size() - zs.avail_out);
            } while (zs.avail_out == 0);
        }
        deflateEnd(&zs);
        QVERIFY(packed.size() < kSize / 500);
        QVERIFY(writeFile(archive, build(packed, {{"bomba.bin", {}, kSize, 0, false}}, true)));
    }
    TZLBArchive zlb;
    zlb.setExtractLimit(64 << 20);
    QVERIFY(zlb.open(archive));
    const QString target = dir.filePath(QStringLiteral("alvo"));
    QVERIFY(!zlb.extractAll(target));
    QCOMPARE(zlb.errorString(), QStringLiteral("Arquivo (0) excede o tamanho permitido"));
    QVERIFY(!zlb.extract(0, target));
    QCOMPARE(filesUnder(dir.path()), QStringList {QStringLiteral("bomba.zlb")});
}

void TestZlb::fuzzCorpus_data()
{
    QTest::addColumn<QString>("path");
    QDirIterator it(QStringLiteral(STB_ZLB_CORPUS), QDir::Files);
    int n = 0;
    while (it.hasNext()) {
        const QString p = it.next();
        QTest::newRow(qPrintable(QFileInfo(p).fileName())) << p;
        ++n;
    }
    QVERIFY2(n >= 5, "the seed corpus is missing");
}

void TestZlb::fuzzCorpus()
{
    QFETCH(QString, path);
    const QByteArray bytes = readFile(path);
    QVERIFY(
        fuzzZlbOnce(reinterpret_cast<const std::uint8_t *>(bytes.constData()), static_cast<std::size_t>(bytes.size())));
}

void TestZlb::cli_data()
{
    QTest::addColumn<QStringList>("args"); // "%A" archive, "%S" source folder, "%O" output folder
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("stderrText");
    QTest::newRow("create") << QStringList {"create", "%A", "%S"} << 0 << QString();
    QTest::newRow("create stored, raw directory")
        << QStringList {"create", "%A", "%S", "--armazenado", "--lista-simples"} << 0 << QString();
    QTest::newRow("missing folder") << QStringList {"create", "%A", "%S/nada"} << 2
                                    << QStringLiteral("erro: Pasta não encontrada");
    QTest::newRow("list of a missing archive")
        << QStringList {"list", "%O/nada.zlb"} << 2 << QStringLiteral("erro: Arquivo não encontrado");
    QTest::newRow("extract a damaged archive")
        << QStringList {"extract", "%S/dados.txt", "%O"} << 2 << QStringLiteral("erro: O Arquivo está corrompido");
    QTest::newRow("wrong use") << QStringList {"pack"} << 2 << QStringLiteral("erro: uso: zlb");
}

void TestZlb::cli()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, stderrText);
    QTemporaryDir dir;
    const QString src = dir.filePath(QStringLiteral("fonte"));
    QVERIFY(QDir().mkpath(src + QStringLiteral("/sub/dir")));
    QVERIFY(writeFile(src + QStringLiteral("/dados.txt"), textBytes(20000)));
    QVERIFY(writeFile(src + QStringLiteral("/sub/dir/b.bin"), randomBytes(5000, 1)));
    QVERIFY(writeFile(src + QStringLiteral("/sub/vazio"), {}));
    const QString archive = dir.filePath(QStringLiteral("t.zlb"));
    const QString out = dir.filePath(QStringLiteral("saida"));
    for (QString &a : args)
        a.replace(QLatin1String("%A"), archive).replace(QLatin1String("%S"), src).replace(QLatin1String("%O"), out);
    QProcess p;
    p.start(QStringLiteral(STB_CLI), QStringList {QStringLiteral("zlb")} + args);
    QVERIFY(p.waitForFinished(60000));
    const QString err = QString::fromUtf8(p.readAllStandardError());
    QCOMPARE(p.exitCode(), exitCode);
    if (exitCode != 0) {
        QVERIFY2(err.startsWith(stderrText), qPrintable(err));
        QCOMPARE(err.count(QLatin1Char('\n')), 1);
        return;
    }
    // What was created lists and extracts back to the same tree.
    QProcess list;
    list.start(QStringLiteral(STB_CLI), {QStringLiteral("zlb"), QStringLiteral("list"), archive});
    QVERIFY(list.waitForFinished(60000));
    QCOMPARE(list.exitCode(), 0);
    const QString listed = QString::fromUtf8(list.readAllStandardOutput());
    QVERIFY2(listed.contains(QLatin1String("sub\\dir\\b.bin")), qPrintable(listed));
    QCOMPARE(listed.count(QLatin1Char('\n')), 3);
    QProcess ex;
    ex.start(QStringLiteral(STB_CLI), {QStringLiteral("zlb"), QStringLiteral("extract"), archive, out});
    QVERIFY(ex.waitForFinished(60000));
    QCOMPARE(ex.exitCode(), 0);
    QCOMPARE(filesUnder(out), filesUnder(src));
    for (const QString &f : filesUnder(src))
        QVERIFY(readFile(QDir(out).filePath(f)) == readFile(QDir(src).filePath(f)));
}

QTEST_GUILESS_MAIN(TestZlb)
#include "tst_zlb.moc"
