#include "platform/inifile.h"

#include "platform/formatting.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QSaveFile>
#include <QStringDecoder>

#include <cmath>
#include <functional>
#include <limits>
#include <optional>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#else
#include <QLockFile>
#endif

namespace stb {

namespace {

// ---- Text model -------------------------------------------------------------

struct Line {
    enum Kind { Other, Section, Key };
    Kind kind = Other;
    QString text; // the line exactly as in the file
    QString name; // section name or key, trimmed
    QString value; // key value, trimmed and unquoted
};

bool sameName(const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

bool isQuote(QChar c) { return c == QLatin1Char('"') || c == QLatin1Char('\''); }

// A value wholly enclosed in matching quotes loses them when read.
QString unquote(const QString &value)
{
    if (value.size() >= 2 && isQuote(value.front()) && value.back() == value.front())
        return value.mid(1, value.size() - 2);
    return value;
}

// The written form of a value: one line, quoted when reading would otherwise
// trim it or strip its own quotes.
QString encodeValue(QString value)
{
    value.replace(QLatin1Char('\r'), QLatin1Char(' '));
    value.replace(QLatin1Char('\n'), QLatin1Char(' '));
    if (value != value.trimmed() || unquote(value) != value)
        return QLatin1Char('"') + value + QLatin1Char('"');
    return value;
}

Line parseLine(const QString &text, bool inSection)
{
    Line line;
    line.text = text;
    const QString t = text.trimmed();
    if (t.startsWith(QLatin1Char('['))) {
        const qsizetype close = t.indexOf(QLatin1Char(']'));
        if (close > 0) {
            line.kind = Line::Section;
            line.name = t.mid(1, close - 1).trimmed();
        }
        return line;
    }
    if (!inSection || t.startsWith(QLatin1Char(';')))
        return line;
    const qsizetype eq = t.indexOf(QLatin1Char('='));
    if (eq <= 0)
        return line; // no key: kept, but not a key
    const QString key = t.left(eq).trimmed();
    if (key.isEmpty())
        return line;
    line.kind = Line::Key;
    line.name = key;
    line.value = unquote(t.mid(eq + 1).trimmed());
    return line;
}

class Document {
public:
    QList<Line> lines;
    QString eol = defaultEol();

    static QString defaultEol()
    {
#ifdef Q_OS_WIN
        return QStringLiteral("\r\n");
#else
        return QStringLiteral("\n");
#endif
    }

    static Document parse(const QString &text)
    {
        Document doc;
        const qsizetype lf = text.indexOf(QLatin1Char('\n'));
        if (lf > 0 && text[lf - 1] == QLatin1Char('\r'))
            doc.eol = QStringLiteral("\r\n");
        else if (lf >= 0)
            doc.eol = QStringLiteral("\n");
        bool inSection = false;
        qsizetype start = 0;
        const qsizetype n = text.size();
        while (start < n) {
            qsizetype end = start;
            while (end < n && text[end] != QLatin1Char('\n') && text[end] != QLatin1Char('\r'))
                ++end;
            Line line = parseLine(text.mid(start, end - start), inSection);
            if (line.kind == Line::Section)
                inSection = true;
            doc.lines.append(std::move(line));
            if (end < n && text[end] == QLatin1Char('\r') && end + 1 < n && text[end + 1] == QLatin1Char('\n'))
                ++end;
            start = end + 1;
        }
        return doc;
    }

    QByteArray serialize() const
    {
        QString text;
        for (const Line &line : lines)
            text += line.text + eol;
        return text.toUtf8();
    }

    // Calls f(index, line) for each key line of the sections named `section`.
    template<typename F> void forEachKey(const QString &section, F f) const
    {
        bool inside = false;
        for (qsizetype i = 0; i < lines.size(); ++i) {
            const Line &line = lines[i];
            if (line.kind == Line::Section)
                inside = sameName(line.name, section);
            else if (inside && line.kind == Line::Key && !f(i, line))
                return;
        }
    }

    qsizetype findKey(const QString &section, const QString &key) const
    {
        qsizetype found = -1;
        forEachKey(section, [&](qsizetype i, const Line &line) {
            if (!sameName(line.name, key))
                return true;
            found = i;
            return false;
        });
        return found;
    }

    qsizetype findSection(const QString &section) const
    {
        for (qsizetype i = 0; i < lines.size(); ++i)
            if (lines[i].kind == Line::Section && sameName(lines[i].name, section))
                return i;
        return -1;
    }

    QStringList sections() const
    {
        QStringList names;
        for (const Line &line : lines)
            if (line.kind == Line::Section && !line.name.isEmpty() && !names.contains(line.name, Qt::CaseInsensitive))
                names << line.name;
        return names;
    }

    QStringList keys(const QString &section) const
    {
        QStringList names;
        forEachKey(section, [&](qsizetype, const Line &line) {
            if (!names.contains(line.name, Qt::CaseInsensitive))
                names << line.name;
            return true;
        });
        return names;
    }

    // Each change returns whether the text changed.
    bool setValue(const QString &section, const QString &key, const QString &value)
    {
        const QString encoded = encodeValue(value);
        const qsizetype at = findKey(section, key);
        if (at >= 0) {
            Line &line = lines[at];
            const QString text = line.name + QLatin1Char('=') + encoded;
            if (line.text == text)
                return false;
            line = parseLine(text, true);
            return true;
        }
        const Line keyLine = parseLine(key + QLatin1Char('=') + encoded, true);
        const qsizetype header = findSection(section);
        if (header < 0) {
            if (!lines.isEmpty() && !lines.back().text.trimmed().isEmpty())
                lines.append(Line());
            lines.append(parseLine(QLatin1Char('[') + section + QLatin1Char(']'), false));
            lines.append(keyLine);
            return true;
        }
        // After the last key of the section, before blank lines and comments
        // that lead into the next one.
        qsizetype insertAt = header + 1;
        for (qsizetype i = header + 1; i < lines.size() && lines[i].kind != Line::Section; ++i)
            if (lines[i].kind == Line::Key)
                insertAt = i + 1;
        lines.insert(insertAt, keyLine);
        return true;
    }

    bool eraseSection(const QString &section)
    {
        bool changed = false;
        bool inside = false;
        for (qsizetype i = 0; i < lines.size();) {
            if (lines[i].kind == Line::Section)
                inside = sameName(lines[i].name, section);
            if (inside) {
                lines.removeAt(i);
                changed = true;
            } else {
                ++i;
            }
        }
        return changed;
    }

    bool deleteKey(const QString &section, const QString &key)
    {
        bool changed = false;
        for (qsizetype at = findKey(section, key); at >= 0; at = findKey(section, key)) {
            lines.removeAt(at);
            changed = true;
        }
        return changed;
    }
};

// ---- Bytes on disk ----------------------------------------------------------

QString decodeWindows1252(QByteArrayView bytes)
{
    // 0x80..0x9F differ from Latin-1; the five unassigned bytes map to themselves.
    static const char16_t high[32] = {
        0x20AC,
        0x0081,
        0x201A,
        0x0192,
        0x201E,
        0x2026,
        0x2020,
        0x2021,
        0x02C6,
        0x2030,
        0x0160,
        0x2039,
        0x0152,
        0x008D,
        0x017D,
        0x008F,
        0x0090,
        0x2018,
        0x2019,
        0x201C,
        0x201D,
        0x2022,
        0x2013,
        0x2014,
        0x02DC,
        0x2122,
        0x0161,
        0x203A,
        0x0153,
        0x009D,
        0x017E,
        0x0178,
    };
    QString s(bytes.size(), Qt::Uninitialized);
    QChar *out = s.data();
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        *out++ = b >= 0x80 && b < 0xA0 ? QChar(high[b - 0x80]) : QChar(b);
    }
    return s;
}

// UTF-8 when the bytes are valid UTF-8, Windows-1252 otherwise.
QString decodeText(const QByteArray &bytes)
{
    QByteArrayView view(bytes);
    if (view.startsWith("\xEF\xBB\xBF"))
        view = view.sliced(3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(view);
    if (!utf8.hasError())
        return text;
    return decodeWindows1252(view);
}

// What identifies one version of the file without reading it.
struct FileStamp {
    bool exists = false;
    qint64 size = 0;
    qint64 mtimeNs = 0;
    quint64 inode = 0;
    quint64 device = 0;

    bool operator==(const FileStamp &) const = default;
};

#ifdef Q_OS_UNIX
FileStamp stampOf(const struct stat &st)
{
    FileStamp s;
    s.exists = true;
    s.size = st.st_size;
#ifdef Q_OS_DARWIN
    s.mtimeNs = qint64(st.st_mtimespec.tv_sec) * 1000000000 + st.st_mtimespec.tv_nsec;
#else
    s.mtimeNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
#endif
    s.inode = st.st_ino;
    s.device = st.st_dev;
    return s;
}
#endif

FileStamp stampOfPath(const QString &path)
{
#ifdef Q_OS_UNIX
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    return stampOf(st);
#else
    QFileInfo fi(path);
    if (!fi.exists())
        return {};
    FileStamp s;
    s.exists = true;
    s.size = fi.size();
    s.mtimeNs = fi.lastModified().toMSecsSinceEpoch() * 1000000;
    return s;
#endif
}

struct Snapshot {
    FileStamp stamp;
    QByteArray bytes;
};

Snapshot readSnapshot(const QString &path)
{
    Snapshot snap;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return snap;
        // The stamp is taken before reading, so a change during the read shows
        // as a different stamp next time.
#ifdef Q_OS_UNIX
    struct stat st;
    if (::fstat(file.handle(), &st) == 0)
        snap.stamp = stampOf(st);
#else
    snap.stamp = stampOfPath(path);
#endif
    snap.stamp.exists = true;
    snap.bytes = file.readAll();
    return snap;
}

// Exclusive lock held while a writer reads, changes and replaces the file.
class WriterLock {
public:
    explicit WriterLock(const QString &lockPath)
#ifndef Q_OS_UNIX
        : m_lock(lockPath)
#endif
    {
#ifdef Q_OS_UNIX
        m_fd = ::open(QFile::encodeName(lockPath).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (m_fd < 0)
            return;
        int rc = -1;
#ifdef F_OFD_SETLKW
        struct flock fl = {};
        fl.l_type = F_WRLCK;
        fl.l_whence = SEEK_SET; // start 0, length 0: the whole file
        while ((rc = ::fcntl(m_fd, F_OFD_SETLKW, &fl)) == -1 && errno == EINTR) {}
        if (rc == 0 || errno != EINVAL) {
            m_locked = rc == 0;
            return;
        }
        // Kernel without open-file-description locks: fall back to flock.
#endif
        while ((rc = ::flock(m_fd, LOCK_EX)) == -1 && errno == EINTR) {}
        m_locked = rc == 0;
#else
        m_lock.setStaleLockTime(30000);
        m_locked = m_lock.lock();
#endif
    }

    ~WriterLock()
    {
#ifdef Q_OS_UNIX
        if (m_fd >= 0)
            ::close(m_fd); // releases the lock
#endif
    }

    WriterLock(const WriterLock &) = delete;
    WriterLock &operator=(const WriterLock &) = delete;

    bool isLocked() const { return m_locked; }

private:
    bool m_locked = false;
#ifdef Q_OS_UNIX
    int m_fd = -1;
#else
    QLockFile m_lock;
#endif
};

// ---- Value conversions --------------------------------------------------------

// Decimal, or hexadecimal with "$" or "0x", optionally signed; out of range is malformed
// except that eight hex digits wrap into the negative range ("$FFFFFFFF" is -1).
std::optional<int> parseInteger(const QString &text)
{
    QString t = text.trimmed();
    bool negative = false;
    if (t.startsWith(QLatin1Char('-')) || t.startsWith(QLatin1Char('+'))) {
        negative = t.front() == QLatin1Char('-');
        t.remove(0, 1);
    }
    int base = 10;
    if (t.startsWith(QLatin1Char('$'))) {
        t.remove(0, 1);
        base = 16;
    } else if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        t.remove(0, 2);
        base = 16;
    }
    if (t.isEmpty() || t.size() > 20)
        return std::nullopt;
    for (const QChar c : t) {
        const bool digit = c >= QLatin1Char('0') && c <= QLatin1Char('9');
        const bool hex
            = (c >= QLatin1Char('a') && c <= QLatin1Char('f')) || (c >= QLatin1Char('A') && c <= QLatin1Char('F'));
        if (!digit && !(base == 16 && hex))
            return std::nullopt;
    }
    bool ok = false;
    const qulonglong mag = t.toULongLong(&ok, base);
    if (!ok)
        return std::nullopt;
    qint64 v;
    if (base == 16 && mag <= 0xFFFFFFFFull)
        v = static_cast<qint32>(static_cast<quint32>(mag));
    else if (mag <= 0x80000000ull)
        v = static_cast<qint64>(mag);
    else
        return std::nullopt;
    if (negative)
        v = -v;
    if (v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(v);
}

std::optional<double> parseFloat(QString text)
{
    // "," is the decimal separator; a lone "." is taken as one too.
    if (!text.contains(QLatin1Char(',')))
        text.replace(QLatin1Char('.'), QLatin1Char(','));
    const auto v = StrToFloat(text);
    if (!v || std::fabs(*v) > std::numeric_limits<double>::max())
        return std::nullopt;
    return static_cast<double>(*v);
}

bool validSection(const QString &s)
{
    return !s.isEmpty() && !s.contains(QLatin1Char(']')) && !s.contains(QLatin1Char('\n'))
        && !s.contains(QLatin1Char('\r'));
}

bool validKey(const QString &k)
{
    return !k.isEmpty() && !k.contains(QLatin1Char('=')) && !k.contains(QLatin1Char('\n'))
        && !k.contains(QLatin1Char('\r')) && !k.startsWith(QLatin1Char('[')) && !k.startsWith(QLatin1Char(';'));
}

// A file changed less than this long before it was read may change again
// without its stamp showing it (coarse timestamps, reused inodes), so its
// bytes are compared instead of trusting the stamp.
constexpr qint64 RacyWindowNs = 2'000'000'000;

} // namespace

// ---- IniFile ------------------------------------------------------------------

struct IniFile::Impl {
    QString path;
    QString lockPath;
    mutable QMutex mutex;
    mutable bool loaded = false;
    mutable bool stampTrusted = false;
    mutable FileStamp stamp;
    mutable QByteArray raw;
    mutable Document doc;

    void load() const
    {
        Snapshot snap = readSnapshot(path);
        const qint64 now = QDateTime::currentMSecsSinceEpoch() * 1000000;
        if (!loaded || snap.bytes != raw)
            doc = Document::parse(decodeText(snap.bytes));
        raw = std::move(snap.bytes);
        stamp = snap.stamp;
        stampTrusted = !stamp.exists || stamp.mtimeNs < now - RacyWindowNs;
        loaded = true;
    }

    // The document as the file is now; re-read only when it changed.
    const Document &current() const
    {
        if (!loaded || !stampTrusted || stampOfPath(path) != stamp)
            load();
        return doc;
    }

    bool modify(const std::function<bool(Document &)> &change)
    {
        QMutexLocker locker(&mutex);
        WriterLock lock(lockPath);
        if (!lock.isLocked())
            return false;
        load(); // the latest text: another process may have written since
        Document next = doc;
        if (!change(next))
            return true;
        const QByteArray bytes = next.serialize();
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
            return false;
        doc = Document::parse(decodeText(bytes));
        raw = bytes;
        stamp = stampOfPath(path);
        stampTrusted = false; // just written: within the racy window
        loaded = true;
        return true;
    }

    std::optional<QString> value(const QString &section, const QString &key) const
    {
        QMutexLocker locker(&mutex);
        const Document &d = current();
        const qsizetype at = d.findKey(section.trimmed(), key.trimmed());
        if (at < 0)
            return std::nullopt;
        return d.lines[at].value;
    }
};

IniFile::IniFile(const QString &path) : d(std::make_unique<Impl>())
{
    d->path = path;
    const QFileInfo fi(path);
    d->lockPath = fi.absolutePath() + QStringLiteral("/.") + fi.fileName() + QStringLiteral(".lock");
}

IniFile::~IniFile() = default;

QString IniFile::fileName() const { return d->path; }

QString IniFile::readString(const QString &section, const QString &key, const QString &def) const
{
    return d->value(section, key).value_or(def);
}

int IniFile::readInteger(const QString &section, const QString &key, int def) const
{
    const auto text = d->value(section, key);
    const auto v = text ? parseInteger(*text) : std::nullopt;
    return v.value_or(def);
}

double IniFile::readFloat(const QString &section, const QString &key, double def) const
{
    const auto text = d->value(section, key);
    const auto v = text ? parseFloat(*text) : std::nullopt;
    return v.value_or(def);
}

Currency IniFile::readCurrency(const QString &section, const QString &key, Currency def) const
{
    const auto text = d->value(section, key);
    if (!text)
        return def;
    if (const auto c = StrToCurr(text->trimmed()))
        return *c;
    // Written in another notation ("1,5E2"): through the float reading.
    if (const auto v = parseFloat(*text))
        return Currency::fromExtended(*v);
    return def;
}

bool IniFile::readBool(const QString &section, const QString &key, bool def) const
{
    return readInteger(section, key, def ? 1 : 0) != 0;
}

QDate IniFile::readDate(const QString &section, const QString &key, const QDate &def) const
{
    const auto text = d->value(section, key);
    const QDate date = text ? StrToDate(*text) : QDate();
    return date.isValid() ? date : def;
}

bool IniFile::writeString(const QString &section, const QString &key, const QString &value)
{
    const QString s = section.trimmed();
    const QString k = key.trimmed();
    if (!validSection(s) || !validKey(k))
        return false;
    return d->modify([&](Document &doc) { return doc.setValue(s, k, value); });
}

bool IniFile::writeInteger(const QString &section, const QString &key, int value)
{
    return writeString(section, key, QString::number(value));
}

bool IniFile::writeFloat(const QString &section, const QString &key, double value)
{
    return writeString(section, key, FloatToStrRoundTrip(value));
}

bool IniFile::writeCurrency(const QString &section, const QString &key, Currency value)
{
    return writeString(section, key, CurrToStr(value));
}

bool IniFile::writeBool(const QString &section, const QString &key, bool value)
{
    return writeString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

bool IniFile::writeDate(const QString &section, const QString &key, const QDate &value)
{
    return writeString(section, key, DateToStr(value));
}

bool IniFile::sectionExists(const QString &section) const
{
    QMutexLocker locker(&d->mutex);
    return d->current().findSection(section.trimmed()) >= 0;
}

bool IniFile::valueExists(const QString &section, const QString &key) const
{
    return d->value(section, key).has_value();
}

QStringList IniFile::readSections() const
{
    QMutexLocker locker(&d->mutex);
    return d->current().sections();
}

QStringList IniFile::readSection(const QString &section) const
{
    QMutexLocker locker(&d->mutex);
    return d->current().keys(section.trimmed());
}

bool IniFile::eraseSection(const QString &section)
{
    const QString s = section.trimmed();
    return d->modify([&](Document &doc) { return doc.eraseSection(s); });
}

bool IniFile::deleteKey(const QString &section, const QString &key)
{
    const QString s = section.trimmed();
    const QString k = key.trimmed();
    return d->modify([&](Document &doc) { return doc.deleteKey(s, k); });
}

} // namespace stb
