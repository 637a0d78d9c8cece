#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <utility>

#ifndef _WIN32
#include <sys/mman.h>
#endif

// Large blocks of memory (the text of a database's records, the buffer it is read through) taken
// straight from the system. On Linux they ask for huge pages: a block of 200 MB then costs a
// hundred page faults instead of fifty thousand. Elsewhere they are plain malloc.
namespace data::native {

class LargeBlock {
public:
    LargeBlock() = default;
    // At least `size` bytes, not initialised; throws std::bad_alloc.
    explicit LargeBlock(std::size_t size)
        : m_size(size)
    {
        if (size == 0)
            return;
#ifndef _WIN32
        if (size >= mappedFrom) {
            // Huge pages need aligned ranges: map one huge page more and trim to the alignment.
            m_mapped = (size + hugePage - 1) / hugePage * hugePage;
            void *raw = ::mmap(nullptr, m_mapped + hugePage, PROT_READ | PROT_WRITE,
                               MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
            if (raw == MAP_FAILED)
                throw std::bad_alloc();
            char *start = static_cast<char *>(raw);
            const std::size_t head =
                (hugePage - reinterpret_cast<std::size_t>(start) % hugePage) % hugePage;
            if (head > 0)
                ::munmap(start, head);
            ::munmap(start + head + m_mapped, hugePage - head);
            m_data = start + head;
#ifdef MADV_HUGEPAGE
            ::madvise(m_data, m_mapped, MADV_HUGEPAGE);
#endif
            return;
        }
#endif
        m_data = static_cast<char *>(std::malloc(size));
        if (!m_data)
            throw std::bad_alloc();
    }
    ~LargeBlock()
    {
        release();
    }
    LargeBlock(LargeBlock &&other) noexcept
        : m_data(std::exchange(other.m_data, nullptr))
        , m_size(std::exchange(other.m_size, 0))
        , m_mapped(std::exchange(other.m_mapped, 0))
    {
    }
    LargeBlock &operator=(LargeBlock &&other) noexcept
    {
        if (this != &other) {
            release();
            m_data = std::exchange(other.m_data, nullptr);
            m_size = std::exchange(other.m_size, 0);
            m_mapped = std::exchange(other.m_mapped, 0);
        }
        return *this;
    }
    LargeBlock(const LargeBlock &) = delete;
    LargeBlock &operator=(const LargeBlock &) = delete;

    char *data() const
    {
        return m_data;
    }
    std::size_t size() const
    {
        return m_size;
    }
    // Makes the bytes [offset, offset + size) ready for writing in one step, where the system
    // allows it: page by page, every first touch would trap into the system on its own.
    void prepare(std::size_t offset, std::size_t size) const
    {
#if !defined(_WIN32) && defined(MADV_POPULATE_WRITE)
        if (m_mapped == 0 || offset >= m_mapped)
            return;
        const std::size_t start = offset / pageSize * pageSize;
        const std::size_t end = std::min(offset + size, m_mapped);
        ::madvise(m_data + start, end - start, MADV_POPULATE_WRITE);
#else
        (void)offset;
        (void)size;
#endif
    }
    // Counts only the first `size` bytes as used; the memory stays.
    void shrink(std::size_t size)
    {
        if (size < m_size)
            m_size = size;
    }

private:
    void release()
    {
#ifndef _WIN32
        if (m_mapped > 0) {
            ::munmap(m_data, m_mapped);
            m_data = nullptr;
            m_mapped = 0;
            return;
        }
#endif
        std::free(m_data);
        m_data = nullptr;
    }

    static constexpr std::size_t hugePage = std::size_t(2) << 20;
    static constexpr std::size_t pageSize = 4096;
    // Below this, a huge page would mostly stay empty.
    static constexpr std::size_t mappedFrom = std::size_t(1) << 20;

    char *m_data = nullptr;
    std::size_t m_size = 0;
    std::size_t m_mapped = 0; // bytes mapped, 0 for malloc
};

// Asks for huge pages for memory of any origin that is about to be filled, such as the records of
// a large file; a hint only.
inline void adviseLargeUse([[maybe_unused]] const void *data, [[maybe_unused]] std::size_t size)
{
#if !defined(_WIN32) && defined(MADV_HUGEPAGE)
    constexpr std::size_t hugePage = std::size_t(2) << 20;
    const auto begin = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t start = (begin + hugePage - 1) / hugePage * hugePage;
    const std::uintptr_t end = (begin + size) / hugePage * hugePage;
    if (start < end)
        ::madvise(reinterpret_cast<void *>(start), end - start, MADV_HUGEPAGE);
#endif
}

} // namespace data::native
