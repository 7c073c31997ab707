// The shared-string table: its hash, the order of its trie (the order an SST
// is written in), and finding texts again through its index as entries come
// and go.
#include "TestHelpers.h"

#include "workbook/model/SST.h"

#include <gtest/gtest.h>

using namespace workbook;
using namespace tbtest;

namespace {

std::vector<TXLSString*> Order(const TSST2& sst)
{
    std::vector<TXLSString*> order;
    sst.Traverse([&](TXLSString* s) { order.push_back(s); });
    return order;
}

// A text whose hash has the given bytes (low byte first).
std::u16string Text(const std::u16string& prefix, uint32_t hash) { return ForceHash(prefix, hash); }

uint32_t BytewiseHash(const uint8_t* p, size_t n)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < n; ++i) {
        crc ^= p[i];
        for (int k = 0; k < 8; ++k) crc = (crc & 1) ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
    }
    return crc;
}

}  // namespace

TEST(SST, the_hash_is_the_crc_register_without_final_inversion)
{
    const uint8_t check[] = "123456789";
    EXPECT_EQ(SSTHash(check, 9), 0x340BC6D9u);
    EXPECT_EQ(SSTHash(check, 0), 0xFFFFFFFFu);
    std::vector<uint8_t> bytes(64);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(i * 37 + 11);
    for (size_t start = 0; start < 8; ++start)
        for (size_t n = 0; start + n <= bytes.size(); ++n)
            ASSERT_EQ(SSTHash(&bytes[start], n), BytewiseHash(&bytes[start], n)) << start << " " << n;
}

TEST(SST, entries_are_visited_by_hash_bytes_and_newest_first_within_a_chain)
{
    TSST2 sst;
    TXLSString* a = sst.AddString(Text(u"a", 0x00000203u));
    TXLSString* b = sst.AddString(Text(u"b", 0x00000101u));
    TXLSString* c = sst.AddString(Text(u"c", 0x00000303u));
    EXPECT_EQ(Order(sst), (std::vector<TXLSString*>{b, c, a}));
}

TEST(SST, a_full_chain_splits_by_the_next_hash_byte)
{
    TSST2 sst;
    std::vector<TXLSString*> e;
    for (uint32_t i = 0; i < 9; ++i) e.push_back(sst.AddString(Text(u"s", 0x00000005u | ((9 - i) << 8))));
    EXPECT_EQ(Order(sst), (std::vector<TXLSString*>{e[8], e[7], e[6], e[5], e[4], e[3], e[2], e[1], e[0]}));
}

// Nine texts with one hash: the chain splits at depths 0, 1 and 2, each time
// taking its entries front to back into the new node, and stays whole at
// depth 3, where all hash bytes are used up.
TEST(SST, texts_with_one_hash_keep_the_order_of_repeated_splits)
{
    TSST2 sst;
    std::vector<TXLSString*> e;
    for (int i = 0; i < 10; ++i)
        e.push_back(sst.AddString(Text(u"k" + std::u16string(1, char16_t(u'0' + i)), 0xA1B2C3D4u)));
    EXPECT_EQ(Order(sst), (std::vector<TXLSString*>{e[9], e[8], e[0], e[1], e[2], e[3], e[4], e[5], e[6], e[7]}));
    for (int i = 0; i < 10; ++i) EXPECT_EQ(sst.AddString(sst.GetItem(e[size_t(i)])), e[size_t(i)]);
    EXPECT_EQ(sst.UniqueCount(), 10u);
    EXPECT_EQ(sst.TotalCount(), 20u);
}

TEST(SST, an_emptied_table_keeps_its_nodes_so_texts_return_to_their_places)
{
    TSST2 sst;
    std::vector<TXLSString*> e;
    for (uint32_t i = 1; i <= 9; ++i) e.push_back(sst.AddString(Text(u"n", 0x00000005u | (i << 8))));
    for (TXLSString* s : e) sst.Release(s);
    EXPECT_EQ(sst.UniqueCount(), 0u);
    EXPECT_TRUE(Order(sst).empty());
    TXLSString* y = sst.AddString(Text(u"y", 0x00000105u));
    TXLSString* x = sst.AddString(Text(u"x", 0x00000205u));
    EXPECT_EQ(Order(sst), (std::vector<TXLSString*>{y, x}));
    sst.Clear();
    y = sst.AddString(Text(u"y", 0x00000105u));
    x = sst.AddString(Text(u"x", 0x00000205u));
    EXPECT_EQ(Order(sst), (std::vector<TXLSString*>{x, y}));
}

TEST(SST, texts_are_found_again_while_others_with_near_hashes_come_and_go)
{
    TSST2 sst;
    std::vector<std::u16string> texts;
    std::vector<TXLSString*> entries;
    for (uint32_t i = 0; i < 300; ++i) {
        texts.push_back(Text(u"t" + std::u16string(1, char16_t(u'a' + i % 26)), 0x07u | (i << 8) | ((i % 3) << 24)));
        entries.push_back(sst.AddString(texts.back()));
    }
    for (size_t i = 0; i < texts.size(); i += 3) sst.Release(entries[i]);
    EXPECT_EQ(sst.UniqueCount(), 200u);
    for (size_t i = 0; i < texts.size(); ++i) {
        TXLSString* again = sst.AddString(texts[i]);
        if (i % 3) {
            EXPECT_EQ(again, entries[i]) << i;
            EXPECT_EQ(again->RefCount, 2u);
        } else {
            EXPECT_EQ(again->RefCount, 1u);
        }
    }
    EXPECT_EQ(sst.UniqueCount(), 300u);
    EXPECT_EQ(Order(sst).size(), 300u);
}

TEST(SST, long_texts_and_texts_from_views_are_interned_like_others)
{
    TSST2 sst;
    std::u16string wide(5000, u'货');
    TXLSString* big = sst.AddString(wide);
    EXPECT_EQ(big->Options, sstUTF16);
    EXPECT_EQ(sst.GetItem(big), wide);
    std::u16string line = u"TB001\t商品";
    TXLSString* part = sst.AddString(std::u16string_view(line).substr(0, 5));
    EXPECT_EQ(sst.GetItem(part), u"TB001");
    EXPECT_EQ(sst.AddString(u"TB001"), part);
    EXPECT_EQ(sst.AddString(wide), big);
    sst.Release(big);
    EXPECT_EQ(sst.UniqueCount(), 2u);
    sst.Clear();
    EXPECT_EQ(sst.UniqueCount(), 0u);
    EXPECT_EQ(sst.GetItem(sst.AddString(wide)), wide);
    // Past the 16-bit length a text is cut at 65,535 characters, not wrapped.
    std::u16string huge(70000, u'x');
    EXPECT_EQ(sst.GetItem(sst.AddString(huge)), huge.substr(0, 65535));
}

// Texts prepared ahead (in another thread, by the command-line writer) carry
// the bytes and hash the table would make, and find the same entries.
TEST(SST, texts_prepared_ahead_are_the_texts_added_directly)
{
    std::vector<uint8_t> buffer;
    TSSTText latin = PrepareSSTText(u"Caf\u00e9", buffer);
    EXPECT_EQ(latin.Options, 0);
    EXPECT_EQ(std::vector<uint8_t>(latin.Bytes, latin.Bytes + latin.ByteCount()),
              (std::vector<uint8_t>{'C', 'a', 'f', 0xE9}));
    EXPECT_EQ(latin.Hash, SSTHash(latin.Bytes, 4));

    TSST2 sst;
    TXLSString* direct = sst.AddString(u"Caf\u00e9");
    EXPECT_EQ(sst.AddString(latin), direct);
    TSSTText wide = PrepareSSTText(u"货品", buffer);
    EXPECT_EQ(wide.Options, sstUTF16);
    EXPECT_EQ(wide.ByteCount(), 4u);
    TXLSString* prepared = sst.AddString(wide);
    EXPECT_EQ(sst.AddString(u"货品"), prepared);
    EXPECT_EQ(prepared->RefCount, 2u);
    EXPECT_EQ(sst.TotalCount(), 4u);
}
