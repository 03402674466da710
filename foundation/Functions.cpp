// SPDX-License-Identifier: GPL-3.0-or-later
#include "foundation/Functions.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QLocale>
#include <QSaveFile>
#include <QStringDecoder>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <mutex>

#include "foundation/Cp1251.h"
#include "foundation/Exceptions.h"
#include "foundation/Logfile.h"

namespace {
std::atomic<char16_t> gForcedSeparator{0};
std::atomic<char16_t> gForcedGroupSeparator{0};

std::mutex gWineLock;  // guards gWineProbe
std::function<bool()> gWineProbe;
}  // namespace

namespace {
// A forced separator (tests), else the locale's first character, else `fallback`.
QChar Separator(const std::atomic<char16_t>& forced, const QString& fromLocale, QChar fallback) {
    if (const char16_t c = forced.load()) return QChar(c);
    return fromLocale.isEmpty() ? fallback : fromLocale.at(0);
}
}  // namespace

QChar DecimalSeparator() {
    return Separator(gForcedSeparator, QLocale::system().decimalPoint(), u'.');
}

void SetDecimalSeparatorForTests(QChar separator) {
    gForcedSeparator.store(separator.unicode());
}

QChar ThousandSeparator() {
    return Separator(gForcedGroupSeparator, QLocale::system().groupSeparator(), u' ');
}

void SetThousandSeparatorForTests(QChar separator) {
    gForcedGroupSeparator.store(separator.unicode());
}

QString NormalizeDecimalSeparator(const QString& s) {
    QString result = s;
    const QChar sep = DecimalSeparator();
    if (sep == u'.')
        result.replace(u',', u'.');
    else if (sep == u',')
        result.replace(u'.', u',');
    return result;
}

bool TryTextToFloat(const QString& s, double& value) {
    const QString text = NormalizeDecimalSeparator(s);
    const QChar sep = DecimalSeparator();
    // Accept exactly: blanks, sign, digits, one separator, digits, exponent, blanks.
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text[i].isSpace()) ++i;
    QString canonical;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) canonical += text[i++];
    bool digits = false;
    while (i < n && text[i].isDigit() && text[i].unicode() < 128) canonical += text[i++], digits = true;
    if (i < n && text[i] == sep) {
        canonical += u'.';
        ++i;
        while (i < n && text[i].isDigit() && text[i].unicode() < 128) canonical += text[i++], digits = true;
    }
    if (!digits) return false;
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        canonical += u'e';
        ++i;
        if (i < n && (text[i] == u'+' || text[i] == u'-')) canonical += text[i++];
        bool expDigits = false;
        while (i < n && text[i].isDigit() && text[i].unicode() < 128)
            canonical += text[i++], expDigits = true;
        if (!expDigits) return false;
    }
    while (i < n && text[i].isSpace()) ++i;
    if (i != n) return false;
    bool ok = false;
    const double parsed = canonical.toDouble(&ok);
    if (!ok || !std::isfinite(parsed)) return false;
    value = parsed;
    return true;
}

int RoundHalf049(double x) {
    // A rate from a broken measurement may be NaN or huge; it must not be undefined behaviour.
    if (std::isnan(x)) return 0;
    if (x >= 2147483647.0) return std::numeric_limits<int>::max();
    if (x <= -2147483648.0) return std::numeric_limits<int>::min();
    const double t = std::trunc(x);
    long long result = static_cast<long long>(t);
    if (std::fabs(x - t) >= 0.49) result += x > 0 ? 1 : -1;
    return static_cast<int>(
        std::clamp<long long>(result, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

QString SplitToken(QString& source, QChar delimiter, bool remove) {
    const qsizetype at = source.indexOf(delimiter);
    const QString token = at < 0 ? source : source.left(at);
    if (remove) {
        if (at < 0)
            source.clear();
        else
            source.remove(0, at + 1);
    }
    return token;
}

bool TryStrToInt(const QString& s, int& value) {
    qsizetype i = 0;
    const qsizetype n = s.size();
    while (i < n && s[i] == u' ') ++i;
    bool negative = false;
    if (i < n && (s[i] == u'+' || s[i] == u'-')) negative = s[i++] == u'-';
    int base = 10;
    if (i < n && s[i] == u'$') {
        base = 16;
        ++i;
    } else if (i + 1 < n && s[i] == u'0' && (s[i + 1] == u'x' || s[i + 1] == u'X')) {
        base = 16;
        i += 2;
    }
    if (i >= n) return false;
    long long acc = 0;
    for (; i < n; ++i) {
        const char16_t c = s[i].unicode();
        int d;
        if (c >= u'0' && c <= u'9')
            d = c - u'0';
        else if (base == 16 && c >= u'a' && c <= u'f')
            d = c - u'a' + 10;
        else if (base == 16 && c >= u'A' && c <= u'F')
            d = c - u'A' + 10;
        else
            return false;
        acc = acc * base + d;
        // Hexadecimal may name the full 32-bit pattern ($FFFFFFFF = -1), decimal must fit.
        if (acc > (base == 16 ? 0xFFFFFFFFLL : 2147483648LL)) return false;
    }
    if (base == 16) {
        // Wrap in 32 bits like the full pattern does: -$80000000 is the lowest integer, not an overflow.
        const uint32_t bits = static_cast<uint32_t>(negative ? -acc : acc);
        value = static_cast<int32_t>(bits);
        return true;
    }
    if (negative) acc = -acc;
    if (acc > 2147483647LL || acc < -2147483648LL) return false;
    value = static_cast<int>(acc);
    return true;
}

int StrToIntDef(const QString& s, int defaultValue) {
    int value;
    return TryStrToInt(s, value) ? value : defaultValue;
}

void SetWineProbeForTests(std::function<bool()> probe) {
    std::lock_guard<std::mutex> lock(gWineLock);
    gWineProbe = std::move(probe);
}

bool IsWine() {
    bool wine;
    {
        std::lock_guard<std::mutex> lock(gWineLock);
        // Wine's loader exports wine_server_call to every process it runs; a native system has none.
        wine = gWineProbe ? gWineProbe() : dlsym(RTLD_DEFAULT, "wine_server_call") != nullptr;
    }
    if (wine) LogAdd(QStringLiteral("WINE Detected"));
    return wine;
}

QString DecodeText(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError()) return text;
    return DecodeCp1251(bytes);
}

QStringList SplitLines(const QString& text) {
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (text[i] != u'\r' && text[i] != u'\n') continue;
        lines << text.mid(start, i - start);
        if (text[i] == u'\r' && i + 1 < n && text[i + 1] == u'\n') ++i;
        start = i + 1;
    }
    if (start < n) lines << text.mid(start);
    return lines;
}

namespace {
struct tDescriptorCloser {
    int Fd;
    ~tDescriptorCloser() { ::close(Fd); }
};

QString SizeText(qint64 bytes) {
    constexpr qint64 kb = 1024, mb = kb * kb;
    if (bytes >= mb && bytes % mb == 0)
        return QCoreApplication::translate("Functions", "%1 МБ").arg(bytes / mb);
    if (bytes >= kb && bytes % kb == 0)
        return QCoreApplication::translate("Functions", "%1 КБ").arg(bytes / kb);
    return QCoreApplication::translate("Functions", "%1 байт").arg(bytes);
}
}  // namespace

QString FileTooLargeText(const QString& path, qint64 size, qint64 limit) {
    return QCoreApplication::translate("Functions",
                                       "Файл '%1' слишком большой (%2 байт). Допускается не более %3.")
        .arg(path)
        .arg(size)
        .arg(SizeText(limit));
}

tFileRead ReadBoundedFile(const QString& path, qint64 limit, QByteArray& bytes, QString& error) {
    bytes.clear();
    // `sentence` is one whole message: "%1" the file, "%2" the system's reason.
    auto failed = [&](const char* sentence, const QString& reason) {
        error = QCoreApplication::translate("Functions", sentence).arg(path, reason);
        bytes.clear();
        return tFileRead::Failed;
    };
    // Only regular files are read. A named pipe with no writer blocks a plain open for good, and a
    // device never ends, so the file is opened without waiting and its type is asked of the open
    // descriptor (no gap in which the name could be swapped for a pipe). A regular file never makes
    // a read wait, so the descriptor can stay non-blocking.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return failed(QT_TRANSLATE_NOOP("Functions", "Невозможно открыть файл '%1'.\r\nСистема сообщает: %2"),
                      LastSystemErrorText());
    const tDescriptorCloser closer{fd};  // on every path, after the QFile over it
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        error = NotARegularFileText(path);
        return tFileRead::Failed;
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
        return failed(QT_TRANSLATE_NOOP("Functions", "Невозможно открыть файл '%1'.\r\nСистема сообщает: %2"),
                      file.errorString());
    if (file.size() > limit) {
        error = FileTooLargeText(path, file.size(), limit);
        return tFileRead::TooLarge;
    }
    // A file that grows meanwhile is caught after limit + 1 bytes.
    bytes = file.read(limit + 1);
    if (file.error() != QFileDevice::NoError)
        return failed(
            QT_TRANSLATE_NOOP("Functions", "Невозможно прочитать файл '%1'.\r\nСистема сообщает: %2"),
            file.errorString());
    if (bytes.size() > limit) {
        error = FileTooLargeText(path, qMax(file.size(), qint64(bytes.size())), limit);
        bytes.clear();
        return tFileRead::TooLarge;
    }
    return tFileRead::Ok;
}

QString NotARegularFileText(const QString& path) {
    return QCoreApplication::translate(
               "Functions", "Файл '%1' не читается: это не обычный файл (канал, устройство или папка).")
        .arg(path);
}

void WriteFileAtomically(const QString& path, const std::function<bool(QIODevice&)>& write,
                         const QString& writeFailure) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw tException(QCoreApplication::translate("Functions", "Не удалось создать файл \"%1\": %2")
                             .arg(path, file.errorString()));
    if (!write(file)) {
        const QString reason = file.errorString();  // before cancelling clears it
        file.cancelWriting();
        throw tException(!writeFailure.isEmpty()
                             ? writeFailure
                             : QCoreApplication::translate("Functions", "Не удалось записать файл \"%1\": %2")
                                   .arg(path, reason));
    }
    if (!file.commit())
        throw tException(QCoreApplication::translate("Functions", "Не удалось записать файл \"%1\": %2")
                             .arg(path, file.errorString()));
}
