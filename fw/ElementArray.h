// CElementArray<T>: the shared body of the framework's arrays (CByteArray,
// CWordArray, CDWordArray, CStringArray). Indices are int, as the callers'
// loops use; an index outside the array raises std::out_of_range, and a
// negative size or count counts as zero.
#pragma once

#include <stdexcept>
#include <vector>

template <typename T>
class CElementArray {
public:
    int GetSize() const { return static_cast<int>(m_data.size()); }
    int GetCount() const { return GetSize(); }
    int GetUpperBound() const { return GetSize() - 1; }
    bool IsEmpty() const { return m_data.empty(); }

    // New elements are zero (empty strings); `growBy` is accepted for compatibility.
    void SetSize(int newSize, int growBy = -1)
    {
        (void)growBy;
        m_data.resize(newSize > 0 ? static_cast<size_t>(newSize) : 0);
    }
    void RemoveAll() { m_data.clear(); }

    const T& GetAt(int index) const { return m_data.at(Checked(index)); }
    void SetAt(int index, const T& value) { m_data.at(Checked(index)) = value; }
    T& ElementAt(int index) { return m_data.at(Checked(index)); }
    T& operator[](int index) { return ElementAt(index); }
    const T& operator[](int index) const { return GetAt(index); }

    // Appends and returns the new element's index.
    int Add(const T& value)
    {
        m_data.push_back(value);
        return GetUpperBound();
    }
    // Appends the other array's elements; returns the index of the first one appended.
    int Append(const CElementArray& other)
    {
        const int first = GetSize();
        const std::vector<T> added = SnapshotOf(other);
        m_data.insert(m_data.end(), added.begin(), added.end());
        return first;
    }
    void Copy(const CElementArray& other) { m_data = other.m_data; }

    // Removes `count` elements from `index`; raises std::out_of_range when they are not all there.
    void RemoveAt(int index, int count = 1)
    {
        const size_t i = Checked(index);
        if (count <= 0)
            return;
        if (i + static_cast<size_t>(count) > m_data.size())
            throw std::out_of_range("RemoveAt beyond the end of the array");
        const auto first = m_data.begin() + static_cast<std::ptrdiff_t>(i);
        m_data.erase(first, first + count);
    }

    T* GetData() { return m_data.empty() ? nullptr : m_data.data(); }
    const T* GetData() const { return m_data.empty() ? nullptr : m_data.data(); }

    bool operator==(const CElementArray& other) const { return m_data == other.m_data; }
    bool operator!=(const CElementArray& other) const { return m_data != other.m_data; }

protected:
    // The archive form every array shares: the element count, then each element
    // in turn. A stored count is checked against the bytes left (each element
    // takes at least `minBytesEach`) before anything is allocated for it, and a
    // damaged archive leaves the array as it was. The archive's type is a
    // parameter only so that this header need not include it.
    template <typename Archive>
    void SerializeElements(Archive& ar, unsigned long long minBytesEach)
    {
        if (ar.IsStoring()) {
            ar.WriteCount(static_cast<unsigned long>(m_data.size()));
            for (const T& value : m_data)
                ar << value;
            return;
        }
        const auto count = ar.ReadCount();
        ar.CheckCount(count, minBytesEach);
        std::vector<T> loaded(count);
        for (T& value : loaded)
            ar >> value;
        m_data.swap(loaded);
    }

    // The elements of `other` as they are now. An array appended to itself must
    // not insert from its own storage: the growth reallocates those very elements.
    std::vector<T> SnapshotOf(const CElementArray& other) const { return other.m_data; }

    static size_t Checked(int index)
    {
        if (index < 0)
            throw std::out_of_range("negative array index");
        return static_cast<size_t>(index);
    }

    std::vector<T> m_data;
};
