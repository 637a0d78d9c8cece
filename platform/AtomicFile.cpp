#include "platform/AtomicFile.h"

#include "platform/NativeFile.h"
#include "platform/Path.h"
#include "platform/Process.h"
#include "platform/SystemReason.h"

#include <atomic>
#include <charconv>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <filesystem>
#include <mutex>
#include <system_error>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace data {

namespace {

std::optional<WriteStep> g_failingStep;
std::function<void(const std::string &)> g_hold;
bool g_namedOnly = false;

// Far beyond any list a clerk types; reading more would only exhaust the memory.
constexpr long long maxReadSize = 1LL << 30;

// What a failing step reports while the test seam is set.
const char *const injectedReason = "umjetna greška (test)";

bool stepFails(WriteStep step)
{
    return g_failingStep && *g_failingStep == step;
}

// The file a write replaces: a symbolic link is followed to the file it names, even when that
// file does not exist yet.
fs::path resolveTarget(const std::string &fileName)
{
    fs::path path = pathFromUtf8(fileName);
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(path, ec)))
            return path;
        fs::path next = fs::read_symlink(path, ec);
        if (ec)
            return path;
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    return path;
}

// ".<target>.tmp-<computer>-<process>-<n>": the computer and the process tell a later start
// whether the file is a leftover it may remove.
fs::path temporaryPath(const fs::path &target)
{
    static std::atomic<unsigned> counter{0};
    fs::path name = ".";
    name += target.filename();
    name += ".tmp-" + computerName() + "-" + std::to_string(currentProcessId()) + "-" +
            std::to_string(counter++);
    return target.parent_path() / name;
}

// Who wrote the file `name` if it is one of temporaryPath()'s from `computer`.
std::optional<long long> temporaryWriter(std::string_view name, std::string_view computer)
{
    const auto takeNumber = [&name]() -> std::optional<long long> {
        const std::size_t dash = name.find_last_of('-');
        long long number = 0;
        if (dash == std::string_view::npos || dash + 1 == name.size())
            return std::nullopt;
        const char *end = name.data() + name.size();
        const auto [at, error] = std::from_chars(name.data() + dash + 1, end, number);
        if (error != std::errc() || at != end)
            return std::nullopt;
        name.remove_suffix(name.size() - dash);
        return number;
    };
    if (!takeNumber())
        return std::nullopt;
    const std::optional<long long> process = takeNumber();
    const std::string tail = ".tmp-" + std::string(computer);
    if (!process || !name.starts_with('.') || name.size() <= tail.size() + 1 ||
        !name.ends_with(tail))
        return std::nullopt;
    return process;
}

// The file the new contents go to, beside the target so that the rename stays within one file
// system. It gets a name only once it is whole where the file system allows that; elsewhere
// it is named from the start.
class TemporaryFile {
public:
    explicit TemporaryFile(const fs::path &target)
        : m_target(target)
    {
        if (!g_namedOnly)
            m_file = native::createUnnamed(target.parent_path());
        if (m_file != native::noHandle)
            return;
        for (int attempt = 0; attempt < 100; ++attempt) {
            fs::path candidate = temporaryPath(target);
            m_error.clear();
            m_file = native::createNew(candidate, m_error);
            if (m_file != native::noHandle) {
                m_path = std::move(candidate);
                return;
            }
            if (m_error != std::errc::file_exists)
                break;
        }
    }
    ~TemporaryFile()
    {
        std::error_code ignored;
        if (m_file != native::noHandle)
            native::close(m_file, ignored);
        if (!m_path.empty())
            fs::remove(m_path, ignored);
    }
    TemporaryFile(const TemporaryFile &) = delete;
    TemporaryFile &operator=(const TemporaryFile &) = delete;

    native::Handle handle() const { return m_file; }
    // Why opening failed.
    std::error_code error() const { return m_error; }
    const fs::path &path() const { return m_path; }
    // Names an unnamed file, for the rename. Until the rename, moments later, a killed process
    // leaves this name behind, for a later start to remove.
    std::error_code giveName()
    {
        std::error_code error;
        for (int attempt = 0; m_path.empty() && attempt < 100; ++attempt) {
            fs::path candidate = temporaryPath(m_target);
            error.clear();
            if (native::nameUnnamed(m_file, candidate, error))
                m_path = std::move(candidate);
            else if (error != std::errc::file_exists)
                return error;
        }
        return m_path.empty() ? std::make_error_code(std::errc::file_exists) : std::error_code();
    }
    std::error_code close()
    {
        std::error_code error;
        native::close(m_file, error);
        m_file = native::noHandle;
        return error;
    }
    // After a successful rename there is nothing left to remove.
    void release() { m_path.clear(); }

private:
    fs::path m_target;
    native::Handle m_file = native::noHandle;
    std::error_code m_error;
    fs::path m_path;
};

void writeAll(native::Handle file, std::string_view contents, const std::string &fileName)
{
    if (stepFails(WriteStep::Write))
        throw WriteError(fileName, injectedReason);
    while (!contents.empty()) {
        std::error_code error;
        const long long written = native::writeSome(file, contents.data(), contents.size(), error);
        if (written < 0)
            throw WriteError(fileName, systemReason(error));
        if (written == 0)
            throw WriteError(fileName,
                             systemReason(std::make_error_code(std::errc::no_space_on_device)));
        contents.remove_prefix(static_cast<std::size_t>(written));
    }
}

} // namespace

WriteError::WriteError(const std::string &fileName, const std::string &reason)
    : Error("Datoteku „" + absoluteName(fileName) + "” nije moguće spremiti: " + afterColon(reason))
    , m_reason(afterColon(reason))
{
}

void setWriteFailureForTesting(std::optional<WriteStep> step)
{
    g_failingStep = step;
}

void setWriteHoldForTesting(std::function<void(const std::string &fileName)> hold)
{
    g_hold = std::move(hold);
}

void setNamedTemporaryForTesting(bool named)
{
    g_namedOnly = named;
}

void removeLeftoverTemporaries(const std::string &fileName)
{
    const fs::path folder = resolveTarget(fileName).parent_path();
    const std::string computer = computerName();
    std::error_code ec;
    for (fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, ec), end;
         !ec && it != end; it.increment(ec)) {
        const std::u8string name = it->path().filename().u8string();
        const std::optional<long long> writer = temporaryWriter(
            std::string_view(reinterpret_cast<const char *>(name.data()), name.size()), computer);
        std::error_code statusError;
        if (writer && !isProcessRunning(*writer) &&
            fs::is_regular_file(it->symlink_status(statusError))) {
            std::error_code removeError;
            fs::remove(it->path(), removeError);
        }
    }
}

namespace {

void writeAtomically(const std::string &fileName,
                     const std::function<void(const PieceWriter &write)> &produce)
{
    const fs::path target = resolveTarget(fileName);
    if (stepFails(WriteStep::Open))
        throw WriteError(fileName, injectedReason);

    TemporaryFile temp(target);
    if (temp.handle() == native::noHandle)
        throw WriteError(fileName, systemReason(temp.error()));
    native::copyAttributes(temp.handle(), target);
    // The disk starts on each piece at once, so the flush at the end has little left to do.
    long long written = 0;
    produce([&](std::string_view piece) {
        writeAll(temp.handle(), piece, fileName);
        native::startFlush(temp.handle(), written, static_cast<long long>(piece.size()));
        written += static_cast<long long>(piece.size());
    });
    if (g_hold)
        g_hold(fileName);

    if (stepFails(WriteStep::Flush))
        throw WriteError(fileName, injectedReason);
    std::error_code error;
    if (!native::flush(temp.handle(), error))
        throw WriteError(fileName, systemReason(error));
    if ((error = temp.giveName()))
        throw WriteError(fileName, systemReason(error));
    if ((error = temp.close()))
        throw WriteError(fileName, systemReason(error));

    if (stepFails(WriteStep::Rename))
        throw WriteError(fileName, injectedReason);
    if (!native::replace(temp.path(), target, error))
        throw WriteError(fileName, systemReason(error));
    temp.release();
    native::flushFolder(target.parent_path());
}

} // namespace

// Writes one piece at a time on a thread of its own.
struct PieceBuffer::Writer {
    explicit Writer(const PieceWriter &write)
        : thread([this, &write] { run(write); })
    {
    }
    ~Writer()
    {
        {
            const std::lock_guard lock(mutex);
            stop = true;
        }
        changed.notify_all();
        thread.join();
    }
    void run(const PieceWriter &write)
    {
        std::unique_lock lock(mutex);
        for (;;) {
            changed.wait(lock, [this] { return busy || stop; });
            if (!busy)
                return;
            lock.unlock();
            std::exception_ptr failure;
            try {
                write(piece);
            } catch (...) {
                failure = std::current_exception();
            }
            lock.lock();
            error = failure;
            busy = false;
            changed.notify_all();
        }
    }
    void start(std::string_view next)
    {
        {
            const std::lock_guard lock(mutex);
            piece = next;
            busy = true;
        }
        changed.notify_all();
    }
    // Until no piece is being written; throws the last piece's failure.
    void wait()
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [this] { return !busy; });
        if (error)
            std::rethrow_exception(std::exchange(error, nullptr));
    }

    std::mutex mutex;
    std::condition_variable changed;
    std::string_view piece;
    bool busy = false;
    bool stop = false;
    std::exception_ptr error;
    std::thread thread; // last: it starts once the rest is there
};

PieceBuffer::PieceBuffer(const PieceWriter &write)
    : m_write(write)
    , m_capacity(writePieceSize + writePieceSize / 4)
    , m_data(std::make_unique_for_overwrite<char[]>(m_capacity))
    , m_spareCapacity(m_capacity)
{
}

PieceBuffer::~PieceBuffer() = default;

char *PieceBuffer::room(std::size_t size)
{
    if (m_used >= writePieceSize || size > m_capacity - m_used) {
        handOver();
        if (size > m_capacity) {
            m_capacity = size;
            m_data = std::make_unique_for_overwrite<char[]>(m_capacity);
        }
    }
    return m_data.get() + m_used;
}

void PieceBuffer::handOver()
{
    // More is coming, so the thread pays for itself; a file of one piece never starts it.
    if (m_writer)
        m_writer->wait(); // the spare buffer is free again
    else
        m_writer = std::make_unique<Writer>(m_write);
    if (!m_spare)
        m_spare = std::make_unique_for_overwrite<char[]>(m_spareCapacity);
    std::swap(m_data, m_spare);
    std::swap(m_capacity, m_spareCapacity);
    m_writer->start(std::string_view(m_spare.get(), m_used));
    m_used = 0;
}

void PieceBuffer::finish()
{
    if (m_writer)
        m_writer->wait();
    m_write(std::string_view(m_data.get(), m_used));
    m_used = 0;
}

void writeFileAtomically(const std::string &fileName, std::string_view contents)
{
    writeAtomically(fileName, [contents](const PieceWriter &write) { write(contents); });
}

void writeFileAtomically(const std::string &fileName,
                         const std::function<void(const PieceWriter &write)> &produce)
{
    writeAtomically(fileName, produce);
}

std::string readWholeFile(const std::string &fileName)
{
    auto fail = [&fileName](const std::string &reason) {
        return Error("Datoteku „" + absoluteName(fileName) +
                     "” nije moguće pročitati: " + afterColon(reason));
    };
    const auto tooLarge = [&] {
        return fail("datoteka je prevelika (najviše " + std::to_string(maxReadSize >> 20) + " MB)");
    };
    std::error_code error;
    const native::Handle file = native::openForReading(pathFromUtf8(fileName), error);
    if (file == native::noHandle)
        throw fail(systemReason(error));
    const native::ReadingClosed closer{file};

    const long long size = native::regularFileSize(file);
    if (size < 0)
        throw fail("to nije obična datoteka");
    if (size > maxReadSize)
        throw tooLarge();
    std::string contents;
    std::size_t used = 0;
    // One byte more than the size, so that reaching the end needs no second growth.
    if (size > 0)
        contents.resize(static_cast<std::size_t>(size) + 1);
    for (;;) {
        if (used == contents.size())
            contents.resize(contents.size() < 4096 ? 4096 : contents.size() * 2);
        const long long got =
            native::readSome(file, contents.data() + used, contents.size() - used, error);
        if (got < 0)
            throw fail(systemReason(error));
        if (got == 0)
            break;
        used += static_cast<std::size_t>(got);
        // A file that grows while it is read is held to the same limit.
        if (used > static_cast<std::size_t>(maxReadSize))
            throw tooLarge();
    }
    contents.resize(used);
    return contents;
}

} // namespace data
