#include "output/xls/CompoundFile.h"

#include "core/Error.h"

#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-stdio.h>
#include <gsf/gsf-utils.h>

#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <mutex>

namespace {

// The error of the first output that has one: a child stream learns of a failed write of
// the file beneath it only through that file.
QString gsfMessage(GsfOutput* output, GsfOutput* sink = nullptr) {
    for (GsfOutput* o : {output, sink}) {
        const GError* e = o ? gsf_output_error(o) : nullptr;
        if (e && e->message)
            return QString::fromUtf8(e->message);
    }
    return QStringLiteral("ошибка ввода-вывода");
}

[[noreturn]] void throwWriteError(const QString& path, const QString& reason) {
    throw KvError(QStringLiteral("Ошибка записи файла %1: %2").arg(path, reason));
}

class GsfStream final : public StorageStream {
public:
    GsfStream(GsfOutput* out, GsfOutput* sink, QString path)
        : m_out(out), m_sink(sink), m_path(std::move(path)) {}
    ~GsfStream() override { g_object_unref(m_out); }
    GsfOutput* output() const { return m_out; }

    void write(const char* data, std::int64_t size) override {
        if (size > 0 && !gsf_output_write(m_out, std::size_t(size), reinterpret_cast<const guint8*>(data)))
            throwWriteError(m_path, gsfMessage(m_out, m_sink));
    }
    std::int64_t position() const override { return std::int64_t(gsf_output_tell(m_out)); }
    void seek(std::int64_t position) override {
        if (!gsf_output_seek(m_out, gsf_off_t(position), G_SEEK_SET))
            throwWriteError(m_path, gsfMessage(m_out, m_sink));
    }
    void seekToEnd() override {
        if (!gsf_output_seek(m_out, 0, G_SEEK_END))
            throwWriteError(m_path, gsfMessage(m_out, m_sink));
    }

private:
    GsfOutput* m_out;
    GsfOutput* m_sink;
    QString m_path;
};

// gsf_output_stdio writes into a temporary file beside the target and renames it over the
// target at close; a close with an error set removes the temporary file instead.
class GsfStorage final : public Storage {
public:
    GsfStorage(GsfOutput* sink, GsfOutfile* ole, QString path)
        : m_sink(sink), m_ole(ole), m_path(std::move(path)) {}
    ~GsfStorage() override {
        if (!m_done) {
            if (m_stream)
                gsf_output_close(m_stream->output());
            gsf_output_set_error(m_sink, 0, "abandoned");
            gsf_output_close(GSF_OUTPUT(m_ole));
        }
        m_stream.reset();
        g_object_unref(m_ole);
        g_object_unref(m_sink);
    }

    StorageStream& createStream(const QString& name) override {
        GsfOutput* child = gsf_outfile_new_child(m_ole, name.toUtf8().constData(), FALSE);
        if (!child)
            throw KvError(QStringLiteral("CreateStream error %1").arg(EIO));
        m_stream = std::make_unique<GsfStream>(child, m_sink, m_path);
        return *m_stream;
    }

    void commit() override {
        // A full disk shows only here: the writes went into buffers.
        bool ok = true;
        QString reason;
        if (m_stream && !gsf_output_close(m_stream->output())) {
            ok = false;
            reason = gsfMessage(m_stream->output(), m_sink);
            gsf_output_set_error(m_sink, 0, "%s", reason.toUtf8().constData());
        }
        const bool closed = gsf_output_close(GSF_OUTPUT(m_ole));
        m_done = true;
        if (ok && (!closed || gsf_output_error(GSF_OUTPUT(m_ole)) || gsf_output_error(m_sink))) {
            ok = false;
            reason = gsfMessage(GSF_OUTPUT(m_ole), m_sink);
        }
        if (!ok)
            throwWriteError(m_path, reason);
    }

private:
    GsfOutput* m_sink;
    GsfOutfile* m_ole;
    QString m_path;
    std::unique_ptr<GsfStream> m_stream;
    bool m_done = false;
};

} // namespace

std::unique_ptr<Storage> createCompoundFile(const QString& path) {
    static std::once_flag once;
    std::call_once(once, [] {
        gsf_init();
        // Past a file size limit a write should fail and be reported, not kill the program
        // and leave the temporary file behind.
        std::signal(SIGXFSZ, SIG_IGN);
    });
    const QByteArray native = QFileInfo(path).absoluteFilePath().toLocal8Bit();
    GError* error = nullptr;
    errno = 0;
    GsfOutput* sink = gsf_output_stdio_new(native.constData(), &error);
    const int code = errno ? errno : (error ? error->code : EIO);
    if (!sink) {
        if (error)
            g_error_free(error);
        throw KvError(QStringLiteral("StgCreateDocFile error %1").arg(code));
    }
    GsfOutfile* ole = gsf_outfile_msole_new(sink);
    if (!ole) {
        gsf_output_set_error(sink, 0, "abandoned");
        gsf_output_close(sink);
        g_object_unref(sink);
        throw KvError(QStringLiteral("StgCreateDocFile error %1").arg(EIO));
    }
    return std::make_unique<GsfStorage>(sink, ole, path);
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
