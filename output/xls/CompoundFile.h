#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <map>
#include <memory>

// The compound file (structured storage) as the workbook writer sees it: a root storage with
// streams that are written front to back, with seeks back to patch earlier fields.
// Every operation throws KvError on failure.
class StorageStream {
public:
    virtual ~StorageStream() = default;
    virtual void write(const char* data, std::int64_t size) = 0;
    void write(const QByteArray& bytes) { write(bytes.constData(), bytes.size()); }
    virtual std::int64_t position() const = 0;
    virtual void seek(std::int64_t position) = 0;
    virtual void seekToEnd() = 0;
};

class Storage {
public:
    virtual ~Storage() = default; // without commit() nothing is kept
    // The stream lives as long as the storage. Failure: "CreateStream error %d".
    virtual StorageStream& createStream(const QString& name) = 0;
    // Releases the streams and the storage: the file is complete only now.
    virtual void commit() = 0;
};

// A compound file under path, written beside it by the file layer and renamed over an existing
// file only when commit() succeeds; destroyed uncommitted or failing, it leaves the old file as it
// was and nothing else behind. Leftovers of killed writers in the folder are removed first.
// Failure to create: "StgCreateDocFile error %d" with errno, and on a second line the file
// layer's message saying why; a failed write: "Не удалось записать файл «…»: <reason>.".
std::unique_ptr<Storage> createCompoundFile(const QString& path);

// A storage in memory, for checking the bytes of a stream.
class MemoryStorage : public Storage {
public:
    MemoryStorage();
    ~MemoryStorage() override;
    StorageStream& createStream(const QString& name) override;
    void commit() override { m_committed = true; }
    bool committed() const { return m_committed; }
    QByteArray stream(const QString& name) const; // empty when there is no such stream

private:
    class Stream;
    std::map<QString, std::unique_ptr<Stream>> m_streams;
    bool m_committed = false;
};
