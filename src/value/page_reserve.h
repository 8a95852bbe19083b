// The process-wide source of 4096-byte pages behind every store's small-object allocator.
#ifndef PYX_VALUE_PAGE_RESERVE_H_
#define PYX_VALUE_PAGE_RESERVE_H_

#include <cstddef>
#include <cstdint>
#include <vector>

#include "util/lock.h"

namespace Vane {

// Counters of the page reserve, read under its mutex.
struct PageReserveStatistics {
    size_t regionsHeld = 0;      // regions currently taken from the system
    size_t regionsFree = 0;      // of those, regions kept mapped with no page in use
    size_t pagesInUse = 0;       // pages handed out and not yet given back
    size_t regionsMapped = 0;    // regions taken from the system since the process started
    size_t regionsReturned = 0;  // regions given back to the system since the process started
};

// Takes address space from the system in regions of 64 KiB (16 pages, committed read-write)
// and hands it out page by page. A region goes back to the system once all 16 of its pages
// are free again, except that some empty regions stay mapped for reuse: without them every
// short-lived tree (one request body, one event payload) would map and unmap a region and
// fault its pages in again, which costs more than building the tree. Empty regions are kept
// up to the most regions held at once since the last Trim() (the workload's own high-water
// mark, so a document parsed again and again finds its regions waiting), at least
// kCachedRegions and at most kMaxCachedRegions. Trim() gives every empty region back and
// starts the high-water mark again. Thread-safe: one mutex guards all of it. Created on
// first use and never destroyed, so values destroyed during process exit can still give
// their pages back.
class PageReserve {
  public:
    static constexpr size_t kPageSize = 4096;
    static constexpr size_t kPagesPerRegion = 16;
    static constexpr size_t kRegionSize = kPageSize * kPagesPerRegion;
    // Empty regions kept mapped for reuse (4 MiB): enough for the trees of a missions answer
    // (about 30 regions for 300 missions) to be parsed again and again without mapping and
    // faulting pages in each time. Trim() hands them all back; the plugin's shutdown calls it.
    static constexpr size_t kCachedRegions = 64;
    // Never more empty regions than this stay mapped (32 MiB).
    static constexpr size_t kMaxCachedRegions = 512;

    // The process-wide reserve.
    static PageReserve& Instance() noexcept;

    // A page of kPageSize bytes aligned to kPageSize, or null when the system refuses memory.
    void* AcquirePage() noexcept;

    // Gives back a page obtained from AcquirePage; when that was its region's last page in
    // use, the region is kept for reuse while fewer empty regions are kept than the limit
    // (see above), else unmapped.
    // Null and pages not handed out are ignored.
    void ReleasePage(void* page) noexcept;

    // Unmaps every region that has no page in use and restarts the high-water mark.
    void Trim() noexcept;

    // A consistent snapshot of the counters.
    PageReserveStatistics Statistics() const noexcept;

    PageReserve(const PageReserve&) = delete;
    PageReserve& operator=(const PageReserve&) = delete;

  private:
    // Bookkeeping of one region. Regions are aligned to their size, so a page finds its
    // region by masking its address; base 0 marks a free slot of the table.
    struct Region {
        uintptr_t base = 0;
        uint16_t usedMask = 0;  // bit i set while page i is handed out
        bool listed = false;    // in withFreePages_
    };

    PageReserve() = default;
    ~PageReserve() = default;

    size_t Home(uintptr_t base) const noexcept REQUIRES(mutex_);
    Region* Find(uintptr_t base) noexcept REQUIRES(mutex_);
    bool Insert(uintptr_t base) noexcept REQUIRES(mutex_);
    void Erase(Region* region) noexcept REQUIRES(mutex_);
    bool Rehash(size_t slots) noexcept REQUIRES(mutex_);
    Region* MapRegion() noexcept REQUIRES(mutex_);
    void Unlist(uintptr_t base) noexcept REQUIRES(mutex_);
    void Unmap(Region* region) noexcept REQUIRES(mutex_);

    // The bookkeeping lives in two flat vectors that only grow (doubling), so handing out and
    // taking back pages costs no heap block once they have reached the process's peak.
    mutable Mutex mutex_;
    std::vector<Region> table_ GUARDED_BY(mutex_);  // open addressing, linear probing, load <= 1/2
    size_t regionCount_ GUARDED_BY(mutex_) = 0;
    std::vector<uintptr_t> withFreePages_ GUARDED_BY(mutex_);  // bases of regions with a free page
    PageReserveStatistics statistics_ GUARDED_BY(mutex_);
    size_t highWaterRegions_ GUARDED_BY(mutex_) =
        0;  // most regions held at once since the last Trim
};

}  // namespace Vane

#endif  // PYX_VALUE_PAGE_RESERVE_H_
