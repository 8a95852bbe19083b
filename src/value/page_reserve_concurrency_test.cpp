#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "value/binding_property.h"
#include "value/page_reserve.h"

namespace Vane {
namespace {

// Trees on several threads take and return pages of the one reserve at the same time; every
// tree must keep its content and every page must come back.
TEST(PageReserveConcurrencyTest, TreesOnManyThreadsShareTheReserve) {
    PageReserve& reserve = PageReserve::Instance();
    reserve.Trim();
    const PageReserveStatistics before = reserve.Statistics();
    constexpr int kThreads = 4;
    std::vector<int> failures(kThreads, 0);
    std::vector<std::thread> threads;
    for (int thread = 0; thread < kThreads; ++thread) {
        threads.emplace_back([thread, &failures] {
            for (int round = 0; round < 20; ++round) {
                BindingProperty tree;
                for (int index = 0; index < 400; ++index) {
                    BindingProperty* record = tree.AppendElement();
                    record->MemberForWrite("id")->SetSigned(thread * 100000 + index);
                    EXPECT_TRUE(
                        record->MemberForWrite("name")->SetString("n" + std::to_string(index)));
                }
                BindingProperty copy(tree);
                for (int index = 0; index < 400; ++index) {
                    if (copy.Element(index).Member("id").GetSigned() != thread * 100000 + index) {
                        ++failures[thread];
                    }
                }
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    for (int thread = 0; thread < kThreads; ++thread) EXPECT_EQ(failures[thread], 0);
    EXPECT_EQ(reserve.Statistics().pagesInUse, before.pagesInUse);
    reserve.Trim();
    EXPECT_EQ(reserve.Statistics().regionsHeld, before.regionsHeld);
}

}  // namespace
}  // namespace Vane
