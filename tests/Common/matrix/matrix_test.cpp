#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "Common/matrix/matrix.h"
#include "testing/recording_services.h"

namespace vekdc {
namespace {

// An allocator that fails on a chosen call and logs what is released.
struct FailingAllocator {
    static inline int calls = 0;
    static inline int fail_on = -1;
    static inline std::vector<void*> allocated;
    static inline std::vector<void*> released;

    static void* allocate(std::size_t bytes) {
        if (calls++ == fail_on) {
            return nullptr;
        }
        void* block = std::malloc(bytes);
        std::memset(block, 0xAB, bytes);  // no accidental zeros
        allocated.push_back(block);
        return block;
    }
    static void release(void* block) {
        released.push_back(block);
        std::free(block);
    }
};

class AllocatorScope {
public:
    explicit AllocatorScope(int fail_on) {
        FailingAllocator::calls = 0;
        FailingAllocator::fail_on = fail_on;
        FailingAllocator::allocated.clear();
        FailingAllocator::released.clear();
        previous_ = set_matrix_allocator({&FailingAllocator::allocate, &FailingAllocator::release});
    }
    ~AllocatorScope() { set_matrix_allocator(previous_); }

private:
    MatrixAllocator previous_;
};

TEST(MatrixStorage, RowsEndWithANullMarker) {
    MatrixPtr m(alloc_matrix(3, 2));
    EXPECT_NE(m.get()[0], nullptr);
    EXPECT_NE(m.get()[2], nullptr);
    EXPECT_EQ(m.get()[3], nullptr);
    MatrixPtr empty(alloc_matrix(0, 4));
    EXPECT_EQ(empty.get()[0], nullptr);
}

TEST(MatrixStorage, AFailedRowReleasesEverythingBeforeItInReverse) {
    AllocatorScope scope(3);  // pointer array, row 0, row 1, then row 2 fails
    EXPECT_EQ(alloc_matrix_or_null(5, 4), nullptr);
    const auto& a = FailingAllocator::allocated;
    ASSERT_EQ(a.size(), 3u);
    EXPECT_EQ(FailingAllocator::released, (std::vector<void*>{a[2], a[1], a[0]}));
}

TEST(MatrixStorage, FreeReleasesEachRowThenThePointerArray) {
    AllocatorScope scope(-1);
    Matrix m = alloc_matrix(2, 3);
    free_matrix(m);
    const auto& a = FailingAllocator::allocated;
    EXPECT_EQ(FailingAllocator::released, (std::vector<void*>{a[1], a[2], a[0]}));
}

TEST(MatrixStorageDeathTest, OutOfMemoryEndsTheProgram) {
    EXPECT_EXIT(
        {
            platform::RecordingServices recorder;
            platform::install(&recorder);
            AllocatorScope scope(1);
            alloc_matrix(2, 2);
        },
        testing::ExitedWithCode(1), "^Orvinta VEK encoder: insufficient memory\n$");
    EXPECT_EXIT(
        {
            AllocatorScope scope(0);
            dvector(7);
        },
        testing::ExitedWithCode(1),
        "^insufficient memory \\(line 99 in \"Common\\\\matrix\\\\matrix\"\ndvector\\(7\\)\\)\n$");
    // ivector reports on standard output; route it to the captured stream.
    EXPECT_EXIT(
        {
            ::dup2(2, 1);
            AllocatorScope scope(0);
            ivector(9);
        },
        testing::ExitedWithCode(0), "^out of memory in ivector\\(9\\)\n$");
}

TEST(MatrixStorage, IvectorIsZeroed) {
    AllocatorScope scope(-1);
    std::int32_t* v = ivector(4);
    EXPECT_EQ(v[0] | v[1] | v[2] | v[3], 0);
    free_ivector(v);
}

TEST(MatrixArithmetic, CopyCopiesOnlyTheGivenBlock) {
    MatrixPtr s(alloc_matrix(2, 2));
    MatrixPtr d(alloc_matrix(2, 2));
    s.get()[0][0] = 1;
    s.get()[0][1] = 2;
    s.get()[1][0] = 3;
    s.get()[1][1] = 4;
    d.get()[0][0] = d.get()[0][1] = d.get()[1][0] = d.get()[1][1] = -1;
    copy_matrix(s.get(), d.get(), 1, 2);
    EXPECT_EQ(d.get()[0][1], 2);
    EXPECT_EQ(d.get()[1][0], -1);
}

TEST(MatrixArithmetic, ProductSumsFromTheFirstTermUpward) {
    // 1e16 + 1 rounds back to 1e16, so only the ascending order gives 0.
    MatrixPtr p(alloc_matrix(1, 3));
    MatrixPtr q(alloc_matrix(3, 1));
    p.get()[0][0] = 1e16;
    p.get()[0][1] = 1.0;
    p.get()[0][2] = -1e16;
    q.get()[0][0] = q.get()[1][0] = q.get()[2][0] = 1.0;
    MatrixPtr r(multiply_matrix(p.get(), q.get(), 1, 3, 1));
    EXPECT_EQ(r.get()[0][0], 0.0);
}

TEST(MatrixArithmetic, KeyTimesVectorGivesTheDotProducts) {
    MatrixPtr a(alloc_matrix(12, 11));
    MatrixPtr x(alloc_matrix(11, 1));
    for (int j = 0; j < 11; ++j) {
        x.get()[j][0] = j + 1;
        for (int i = 0; i < 12; ++i) {
            a.get()[i][j] = i * 0.5 - j;
        }
    }
    MatrixPtr y(multiply_matrix(a.get(), x.get(), 12, 11, 1));
    for (int i = 0; i < 12; ++i) {
        double expected = 0.0;
        for (int k = 0; k < 11; ++k) {
            expected = a.get()[i][k] * x.get()[k][0] + expected;
        }
        EXPECT_EQ(y.get()[i][0], expected);
    }
    EXPECT_EQ(y.get()[12], nullptr);
    MatrixPtr zero(multiply_matrix(a.get(), x.get(), 2, 0, 1));
    EXPECT_EQ(zero.get()[0][0], 0.0);
    EXPECT_EQ(zero.get()[1][0], 0.0);
}

}  // namespace
}  // namespace vekdc
