#include "output/xls/CompoundFile.h"

#include "core/Error.h"
#include "core/FileLayer.h"

#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-stdio.h>
#include <gsf/gsf-utils.h>

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <unistd.h>

namespace {

// The error number of the first output that has one (a child stream learns of a failed write of
// the file beneath it only through that file), else the one the failing call left.
int gsfErrorNumber(int saved, GsfOutput* output, GsfOutput* sink = nullptr) {
    for (GsfOutput* o : {sink, output}) {
        const GError* e = o ? gsf_output_error(o) : nullptr;
        if (e && e->code > 0 && e->code < 4096)
            return e->code;
    }
    return saved > 0 ? saved : EIO;
}

[[noreturn]] void throwWriteError(const QString& path, int error) {
    throw KvError(QStringLiteral("Не удалось записать файл «%1»: %2.")
                      .arg(QFileInfo(path).fileName(), fileio::writeReasonOf(path, error)));
}

class GsfStream final : public StorageStream {
public:
    GsfStream(GsfOutput* out, GsfOutput* sink, QString path)
        : m_out(out), m_sink(sink), m_path(std::move(path)) {}
    ~GsfStream() override { g_object_unref(m_out); }
    GsfOutput* output() const { return m_out; }

    void write(const char* data, std::int64_t size) override {
        errno = 0;
        if (size > 0 && !gsf_output_write(m_out, std::size_t(size), reinterpret_cast<const guint8*>(data)))
            throwWriteError(m_path, gsfErrorNumber(errno, m_out, m_sink));
    }
    std::int64_t position() const override { return std::int64_t(gsf_output_tell(m_out)); }
    void seek(std::int64_t position) override {
        errno = 0;
        if (!gsf_output_seek(m_out, gsf_off_t(position), G_SEEK_SET))
            throwWriteError(m_path, gsfErrorNumber(errno, m_out, m_sink));
    }
    void seekToEnd() override {
        errno = 0;
        if (!gsf_output_seek(m_out, 0, G_SEEK_END))
            throwWriteError(m_path, gsfErrorNumber(errno, m_out, m_sink));
    }

private:
    GsfOutput* m_out;
    GsfOutput* m_sink;
    QString m_path;
};

// The compound file is written by gsf into the file layer's temporary file beside the target,
// which takes the target's place only once it is complete and on disk.
class GsfStorage final : public Storage {
public:
    GsfStorage(std::unique_ptr<fileio::Replacement> file, std::FILE* stream, GsfOutput* sink, GsfOutfile* ole,
               QString path)
        : m_file(std::move(file)), m_stream(stream), m_sink(sink), m_ole(ole), m_path(std::move(path)) {}
    ~GsfStorage() override {
        if (!m_done)
            abandon();
        m_child.reset();
        g_object_unref(m_ole);
        g_object_unref(m_sink);
        if (m_stream)
            std::fclose(m_stream);
        // An uncommitted replacement removes its temporary file.
    }

    StorageStream& createStream(const QString& name) override {
        GsfOutput* child = gsf_outfile_new_child(m_ole, name.toUtf8().constData(), FALSE);
        if (!child)
            throw KvError(QStringLiteral("CreateStream error %1").arg(EIO));
        m_child = std::make_unique<GsfStream>(child, m_sink, m_path);
        return *m_child;
    }

    void commit() override {
        // A full disk shows only here: the writes went into buffers.
        m_done = true;
        errno = 0;
        if (m_child && !gsf_output_close(m_child->output()))
            fail(gsfErrorNumber(errno, m_child->output(), m_sink));
        errno = 0;
        // Closing the compound file closes the file beneath it too.
        if (!gsf_output_close(GSF_OUTPUT(m_ole)) || gsf_output_error(GSF_OUTPUT(m_ole)) ||
            gsf_output_error(m_sink))
            fail(gsfErrorNumber(errno, GSF_OUTPUT(m_ole), m_sink));
        errno = 0;
        if (!gsf_output_is_closed(m_sink) && !gsf_output_close(m_sink))
            fail(gsfErrorNumber(errno, m_sink));
        std::FILE* stream = std::exchange(m_stream, nullptr);
        if (std::fflush(stream) != 0) {
            const int error = errno;
            std::fclose(stream);
            throwWriteError(m_path, error);
        }
        std::fclose(stream);
        try {
            m_file->commit(false);
        } catch (const fileio::FileError& e) {
            throwWriteError(m_path, e.error());
        }
    }

private:
    [[noreturn]] void fail(int error) {
        abandon();
        throwWriteError(m_path, error);
    }

    // The temporary file goes with the replacement; gsf must not write any more into it.
    void abandon() {
        if (!gsf_output_is_closed(m_sink))
            gsf_output_set_error(m_sink, 0, "abandoned");
        for (GsfOutput* o : {m_child ? m_child->output() : nullptr, GSF_OUTPUT(m_ole), m_sink})
            if (o && !gsf_output_is_closed(o))
                gsf_output_close(o);
    }

    std::unique_ptr<fileio::Replacement> m_file;
    std::FILE* m_stream;
    GsfOutput* m_sink;
    GsfOutfile* m_ole;
    QString m_path;
    std::unique_ptr<GsfStream> m_child;
    bool m_done = false;
};

// The first line is the one of the structured storage call the workbook writer stands for; the
// second says why.
[[noreturn]] void throwCreateError(int code, const QString& reason) {
    throw KvError(QStringLiteral("StgCreateDocFile error %1\n%2").arg(code).arg(reason));
}

} // namespace

std::unique_ptr<Storage> createCompoundFile(const QString& path) {
    static std::once_flag once;
    std::call_once(once, [] {
        gsf_init();
        // Past a file size limit a write should fail and be reported, not kill the program
        // and leave the temporary file behind.
        std::signal(SIGXFSZ, SIG_IGN);
    });
    fileio::removeStaleTemporaries(QFileInfo(path).absolutePath());
    std::unique_ptr<fileio::Replacement> file;
    try {
        file = std::make_unique<fileio::Replacement>(path);
    } catch (const fileio::FileError& e) {
        throwCreateError(e.error(), e.message());
    }
    const int fd = ::dup(file->file().descriptor());
    std::FILE* stream = fd >= 0 ? ::fdopen(fd, "w+b") : nullptr;
    if (!stream) {
        const int error = errno;
        if (fd >= 0)
            ::close(fd);
        throwCreateError(error, QStringLiteral("Не удалось записать файл «%1»: %2.")
                                    .arg(QFileInfo(path).fileName(), fileio::reasonOf(error)));
    }
    GsfOutput* sink = gsf_output_stdio_new_FILE(QFile::encodeName(path).constData(), stream, TRUE);
    GsfOutfile* ole = sink ? gsf_outfile_msole_new(sink) : nullptr;
    if (!ole) {
        if (sink) {
            gsf_output_close(sink);
            g_object_unref(sink);
        }
        std::fclose(stream);
        throwCreateError(EIO, QStringLiteral("Не удалось записать файл «%1»: %2.")
                                  .arg(QFileInfo(path).fileName(), fileio::reasonOf(EIO)));
    }
    return std::make_unique<GsfStorage>(std::move(file), stream, sink, ole, path);
}

class MemoryStorage::Stream final : public StorageStream {
public:
    void write(const char* data, std::int64_t size) override {
        const std::int64_t end = m_pos + size;
        if (end > m_bytes.size()) {
            if (end > m_bytes.capacity())
                m_bytes.reserve(qsizetype(std::max<std::int64_t>(end, 2 * m_bytes.capacity())));
            m_bytes.resize(qsizetype(end));
        }
        std::memcpy(m_bytes.data() + m_pos, data, std::size_t(size));
        m_pos = end;
    }
    std::int64_t position() const override { return m_pos; }
    void seek(std::int64_t position) override {
        if (position < 0 || position > m_bytes.size())
            throw KvError(QStringLiteral("Позиция %1 вне потока").arg(position));
        m_pos = position;
    }
    void seekToEnd() override { m_pos = m_bytes.size(); }
    QByteArray m_bytes;
    std::int64_t m_pos = 0;
};

MemoryStorage::MemoryStorage() = default;
MemoryStorage::~MemoryStorage() = default;

StorageStream& MemoryStorage::createStream(const QString& name) {
    auto& s = m_streams[name];
    s = std::make_unique<Stream>();
    return *s;
}

QByteArray MemoryStorage::stream(const QString& name) const {
    auto it = m_streams.find(name);
    return it == m_streams.end() ? QByteArray() : it->second->m_bytes;
}
