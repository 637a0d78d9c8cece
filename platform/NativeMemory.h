#pragma once

#include <cstddef>
#include <new>
#include <utility>

// Large blocks of memory (the file as it is read, the text of its records) taken straight from
// the system. On Linux they ask for huge pages: a block of 200 MB then costs a hundred page
// faults instead of fifty thousand. The system's side is in NativeUnix.cpp and NativeWindows.cpp.
namespace data::native {

// At least `size` bytes, not initialised, or nullptr. `mapped` tells how the block was made:
// the bytes mapped, or 0 for one from malloc; freeLarge() needs it back.
char *allocateLarge(std::size_t size, std::size_t &mapped);
void freeLarge(char *data, std::size_t mapped);
// Makes a mapped block's bytes [offset, offset + size) ready for writing in one step, where the
// system allows it: page by page, every first touch would trap into the system on its own.
void prepareForWriting(char *data, std::size_t mapped, std::size_t offset, std::size_t size);
// Asks for huge pages for memory of any origin that is about to be filled, such as the records
// of a large file; a hint only.
void adviseLargeUse(const void *data, std::size_t size);

class LargeBlock {
public:
    LargeBlock() = default;
    // At least `size` bytes, not initialised; throws std::bad_alloc.
    explicit LargeBlock(std::size_t size)
        : m_size(size)
    {
        if (size == 0)
            return;
        m_data = allocateLarge(size, m_mapped);
        if (!m_data)
            throw std::bad_alloc();
    }
    ~LargeBlock() { freeLarge(m_data, m_mapped); }
    LargeBlock(LargeBlock &&other) noexcept
        : m_data(std::exchange(other.m_data, nullptr))
        , m_size(std::exchange(other.m_size, 0))
        , m_mapped(std::exchange(other.m_mapped, 0))
    {
    }
    LargeBlock &operator=(LargeBlock &&other) noexcept
    {
        if (this != &other) {
            freeLarge(m_data, m_mapped);
            m_data = std::exchange(other.m_data, nullptr);
            m_size = std::exchange(other.m_size, 0);
            m_mapped = std::exchange(other.m_mapped, 0);
        }
        return *this;
    }
    LargeBlock(const LargeBlock &) = delete;
    LargeBlock &operator=(const LargeBlock &) = delete;

    char *data() const { return m_data; }
    std::size_t size() const { return m_size; }
    void prepare(std::size_t offset, std::size_t size) const
    {
        prepareForWriting(m_data, m_mapped, offset, size);
    }
    // Counts only the first `size` bytes as used; the memory stays.
    void shrink(std::size_t size)
    {
        if (size < m_size)
            m_size = size;
    }

private:
    char *m_data = nullptr;
    std::size_t m_size = 0;
    std::size_t m_mapped = 0;
};

} // namespace data::native
