// The argument blocks of the host contract: the sizes the host libraries take, and the
// host's one checked reading of a block, which names the block that does not fit.

#include "hostapi/ArgumentBlocks.h"
#include "support/ExpectError.h"

#include <gtest/gtest.h>

namespace {

namespace block = hostapi::block;

// A layout and the size the host libraries take: a position added to or lost from a
// layout shifts every later one, on both sides at once, so the size is stated here.
template <typename B, int N>
struct Layout {
    using Block = B;
    static constexpr int size = N;
};

using Layouts = ::testing::Types<Layout<block::FechaCupom, 59>, Layout<block::CancelaCupomImp, 7>,
                                 Layout<block::ChamaFuncaoRetornaPreco, 6>, Layout<block::SetConcluiFechamento, 42>,
                                 Layout<block::ConcluiFechamentoDataSets, 12>,
                                 Layout<block::DisparaImpressaoNaoFiscal, 7>, Layout<block::IncluiVendaCan, 14>,
                                 Layout<block::AlteraVendaCan, 8>>;

template <typename L>
class ArgumentBlocks : public ::testing::Test {};
TYPED_TEST_SUITE(ArgumentBlocks, Layouts);

TYPED_TEST(ArgumentBlocks, BuiltToTheHostsSizeAndReadOnlyAtThatSize)
{
    using B = typename TypeParam::Block;
    const hostapi::ArgumentBlock<B> built(QStringLiteral("x"));
    ASSERT_EQ(built.values().size(), TypeParam::size);
    EXPECT_EQ(built.highest(), TypeParam::size - 1);
    EXPECT_EQ(hostapi::BlockReader<B>(built.values(), built.highest()).values(), built.values());

    QVariantList shorter = built.values();
    shorter.removeLast();
    testsupport::expectErrorNaming<platform::HostError>(
        [&] { (void)hostapi::BlockReader<B>(shorter, built.highest() - 1); }, QString::fromLatin1(B::name));
    testsupport::expectErrorNaming<platform::HostError>(
        [&] { (void)hostapi::BlockReader<B>(built.values(), built.highest() + 1); },
        QStringLiteral("esperava %1 valores").arg(TypeParam::size));
}

}  // namespace
