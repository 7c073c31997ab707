// Compound documents: what we write reads back (here and in olefile), the
// version 4 and DIFAT layouts are read, and every kind of corrupt input ends
// in a clear exception.
#include "TestHelpers.h"

#include "workbook/compound/CompoundDocument.h"
#include "workbook/compound/CompoundFormat.h"
#include "workbook/XLSError.h"

#include <gtest/gtest.h>

using namespace workbook;
using namespace tbtest;

namespace {

std::vector<uint8_t> Pattern(size_t n, uint8_t seed)
{
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = uint8_t(seed + i * 7 + i / 251);
    return v;
}

void PutStream(TCompoundStorage storage, std::u16string_view name, const std::vector<uint8_t>& data)
{
    TCompoundStream s = storage.CreateStream(name);
    s.Write(data.data(), data.size());
}

std::vector<uint8_t> StreamBytes(TCompoundDocument& doc, std::u16string_view name)
{
    TCompoundStream s = doc.Root().OpenStream(name);
    std::vector<uint8_t> out(size_t(s.Size()));
    s.Read(out.data(), out.size());
    return out;
}

// A document with one regular stream "Big" (5000 bytes) and one mini stream "Small".
std::vector<uint8_t> TwoStreamFile()
{
    TCompoundDocument doc;
    PutStream(doc.Root(), u"Big", Pattern(5000, 1));
    PutStream(doc.Root(), u"Small", Pattern(100, 2));
    return doc.SaveToMemory();
}

uint8_t* DirEntry(std::vector<uint8_t>& file, uint32_t index)
{
    uint32_t firstDir = GetU32(&file[cfb::kOffFirstDir]);
    return &file[(firstDir + 1) * 512 + index * 128];
}

uint8_t* FatEntry(std::vector<uint8_t>& file, uint32_t sector)
{
    uint32_t fatSector = GetU32(&file[cfb::kOffDifat]);
    return &file[(fatSector + 1) * 512 + sector * 4];
}

std::string OpenError(const std::vector<uint8_t>& file)
{
    try {
        TCompoundDocument::OpenMemory(file.data(), file.size());
    } catch (const EXLSError& e) {
        return e.what();
    }
    return "no error";
}

}  // namespace

TEST(CompoundDocument, streams_of_every_size_read_back)
{
    TCompoundDocument doc;
    for (size_t size : {0u, 1u, 63u, 64u, 4095u, 4096u, 4097u, 100000u})
        PutStream(doc.Root(), u"S" + std::u16string(1, char16_t(u'a' + size % 26)) + char16_t(u'0' + size % 10),
                  Pattern(size, uint8_t(size)));
    auto bytes = doc.SaveToMemory();
    auto back = TCompoundDocument::OpenMemory(bytes.data(), bytes.size());
    ASSERT_EQ(back.RootEntry().Children.size(), doc.RootEntry().Children.size());
    for (const auto& child : doc.RootEntry().Children)
        EXPECT_EQ(StreamBytes(back, child->Name), child->Data.ToVector()) << child->Data.Size();
    EXPECT_EQ(back.MajorVersion(), 3);
}

TEST(CompoundDocument, storages_nest_and_copy_to_copies_the_whole_tree)
{
    TCompoundDocument doc;
    TCompoundStorage macros = doc.Root().CreateStorage(u"_VBA_PROJECT_CUR");
    PutStream(macros.CreateStorage(u"VBA"), u"dir", Pattern(300, 9));
    PutStream(doc.Root(), u"\x05SummaryInformation", Pattern(200, 3));
    TCompoundDocument copy;
    doc.Root().CopyTo(copy.Root());
    auto bytes = copy.SaveToMemory();
    auto back = TCompoundDocument::OpenMemory(bytes.data(), bytes.size());
    TCompoundStorage vba = back.Root().OpenStorage(u"_VBA_PROJECT_CUR").OpenStorage(u"VBA");
    TCompoundStream dir = vba.OpenStream(u"dir");
    EXPECT_EQ(dir.Size(), 300u);
    EXPECT_EQ(StreamBytes(back, u"\x05SummaryInformation"), Pattern(200, 3));
}

TEST(CompoundDocument, create_stream_replaces_a_stream_of_the_same_name_ignoring_case)
{
    TCompoundDocument doc;
    PutStream(doc.Root(), u"Workbook", Pattern(5000, 1));
    PutStream(doc.Root(), u"WORKBOOK", Pattern(10, 2));
    ASSERT_EQ(doc.RootEntry().Children.size(), 1u);
    EXPECT_EQ(StreamBytes(doc, u"workbook"), Pattern(10, 2));
    EXPECT_THROW(doc.Root().CreateStream(u"a/b"), EXLSError);
    EXPECT_THROW(doc.Root().OpenStream(u"Book"), EXLSError);
}

TEST(CompoundDocument, many_siblings_form_a_tree_every_entry_is_found_in)
{
    TCompoundDocument doc;
    for (int i = 0; i < 40; ++i)
        PutStream(doc.Root(), u"Stream" + std::u16string(1, char16_t(u'A' + i % 26)) + char16_t(u'a' + i / 26),
                  Pattern(10, uint8_t(i)));
    auto bytes = doc.SaveToMemory();
    auto back = TCompoundDocument::OpenMemory(bytes.data(), bytes.size());
    EXPECT_EQ(back.RootEntry().Children.size(), 40u);
}

TEST(CompoundDocument, large_documents_list_fat_sectors_beyond_the_header_in_difat_sectors)
{
    TCompoundDocument doc;
    auto big = Pattern(8 * 1024 * 1024, 5);  // > 109 FAT sectors of 128 entries
    PutStream(doc.Root(), u"Workbook", big);
    auto bytes = doc.SaveToMemory();
    EXPECT_GT(GetU32(&bytes[cfb::kOffDifatSectors]), 0u);
    auto back = TCompoundDocument::OpenMemory(bytes.data(), bytes.size());
    EXPECT_EQ(StreamBytes(back, u"Workbook"), big);
}

TEST(CompoundDocument, reads_version_4_documents_with_4096_byte_sectors)
{
    std::vector<uint8_t> file(4096 * 4, 0);
    std::copy(cfb::kSignature, cfb::kSignature + 8, file.begin());
    PutU16(&file[cfb::kOffMinor], 0x3E);
    PutU16(&file[cfb::kOffMajor], 4);
    PutU16(&file[cfb::kOffByteOrder], 0xFFFE);
    PutU16(&file[cfb::kOffSectorShift], 12);
    PutU16(&file[cfb::kOffMiniShift], 6);
    PutU32(&file[cfb::kOffDirSectors], 1);
    PutU32(&file[cfb::kOffFatSectors], 1);
    PutU32(&file[cfb::kOffFirstDir], 1);
    PutU32(&file[cfb::kOffCutoff], 4096);
    PutU32(&file[cfb::kOffFirstMiniFat], cfb::ENDOFCHAIN);
    PutU32(&file[cfb::kOffFirstDifat], cfb::ENDOFCHAIN);
    for (int i = 0; i < 109; ++i) PutU32(&file[cfb::kOffDifat + 4 * i], i == 0 ? 0 : cfb::FREESECT);
    uint8_t* fat = &file[4096];
    for (int i = 0; i < 1024; ++i) PutU32(fat + 4 * i, cfb::FREESECT);
    PutU32(fat, cfb::FATSECT);
    PutU32(fat + 4, cfb::ENDOFCHAIN);
    PutU32(fat + 8, 3);
    PutU32(fat + 12, cfb::ENDOFCHAIN);
    uint8_t* dir = &file[8192];
    for (int e = 0; e < 32; ++e)
        for (uint32_t off : {cfb::kEntLeft, cfb::kEntRight, cfb::kEntChild}) PutU32(dir + e * 128 + off, cfb::NOSTREAM);
    const char16_t* names[] = {u"Root Entry", u"Workbook"};
    for (int e = 0; e < 2; ++e) {
        std::u16string n = names[e];
        for (size_t i = 0; i < n.size(); ++i) PutU16(dir + e * 128 + 2 * i, n[i]);
        PutU16(dir + e * 128 + cfb::kEntNameLen, uint16_t(2 * n.size() + 2));
        dir[e * 128 + cfb::kEntColor] = 1;
    }
    dir[cfb::kEntType] = 5;
    PutU32(dir + cfb::kEntChild, 1);
    PutU32(dir + cfb::kEntStart, cfb::ENDOFCHAIN);
    dir[128 + cfb::kEntType] = 2;
    PutU32(dir + 128 + cfb::kEntStart, 2);
    PutU64(dir + 128 + cfb::kEntSize, 5000);
    file.resize(4096 * 4 + 4096);
    auto data = Pattern(5000, 4);
    std::copy(data.begin(), data.end(), file.begin() + 4096 * 3);
    auto doc = TCompoundDocument::OpenMemory(file.data(), file.size());
    EXPECT_EQ(doc.MajorVersion(), 4);
    EXPECT_EQ(StreamBytes(doc, u"Workbook"), data);
}

TEST(CompoundDocument, corrupt_headers_are_refused_with_a_reason)
{
    auto good = TwoStreamFile();
    EXPECT_NE(OpenError({good.begin(), good.begin() + 300}).find("shorter than its header"), std::string::npos);
    auto bad = good;
    bad[0] = 0;
    EXPECT_NE(OpenError(bad).find("bad signature"), std::string::npos);
    bad = good;
    PutU16(&bad[cfb::kOffMajor], 5);
    EXPECT_NE(OpenError(bad).find("unsupported version"), std::string::npos);
    bad = good;
    PutU32(&bad[cfb::kOffFatSectors], 0x7FFFFFFF);
    EXPECT_NE(OpenError(bad).find("more FAT sectors"), std::string::npos);
    bad = good;
    PutU32(&bad[cfb::kOffDifat], 5000);
    EXPECT_NE(OpenError(bad).find("outside the file"), std::string::npos);
}

TEST(CompoundDocument, broken_sector_chains_are_refused)
{
    auto good = TwoStreamFile();
    uint32_t bigStart = GetU32(DirEntry(good, 1) + cfb::kEntStart);

    auto loop = good;
    PutU32(FatEntry(loop, bigStart + 3), bigStart);
    EXPECT_NE(OpenError(loop).find("loops"), std::string::npos) << OpenError(loop);

    auto outside = good;
    PutU32(DirEntry(outside, 1) + cfb::kEntStart, 90000);
    EXPECT_NE(OpenError(outside).find("leaves the file"), std::string::npos) << OpenError(outside);

    auto fatSector = good;
    PutU32(FatEntry(fatSector, bigStart + 9), GetU32(&good[cfb::kOffDifat]));
    EXPECT_NE(OpenError(fatSector).find("shares sector"), std::string::npos) << OpenError(fatSector);

    auto tooBig = good;
    PutU32(DirEntry(tooBig, 1) + cfb::kEntSize, 50000);
    EXPECT_NE(OpenError(tooBig).find("larger than its sector chain"), std::string::npos) << OpenError(tooBig);

    auto freeInChain = good;
    PutU32(FatEntry(freeInChain, bigStart + 2), cfb::FREESECT);
    EXPECT_NE(OpenError(freeInChain).find("broken"), std::string::npos) << OpenError(freeInChain);
}

TEST(CompoundDocument, two_streams_sharing_a_chain_are_refused)
{
    TCompoundDocument doc;
    PutStream(doc.Root(), u"One", Pattern(5000, 1));
    PutStream(doc.Root(), u"Two", Pattern(5000, 2));
    auto file = doc.SaveToMemory();
    // Entries: root, "One", "Two" (same length, so alphabetical).
    PutU32(DirEntry(file, 2) + cfb::kEntStart, GetU32(DirEntry(file, 1) + cfb::kEntStart));
    EXPECT_NE(OpenError(file).find("shares sector"), std::string::npos) << OpenError(file);

    TCompoundDocument mini;
    PutStream(mini.Root(), u"One", Pattern(100, 1));
    PutStream(mini.Root(), u"Two", Pattern(100, 2));
    file = mini.SaveToMemory();
    PutU32(DirEntry(file, 2) + cfb::kEntStart, GetU32(DirEntry(file, 1) + cfb::kEntStart));
    EXPECT_NE(OpenError(file).find("shares sector"), std::string::npos) << OpenError(file);
}

TEST(CompoundDocument, directory_cycles_and_bad_links_are_refused)
{
    auto good = TwoStreamFile();
    auto cycle = good;
    uint32_t top = GetU32(DirEntry(cycle, 0) + cfb::kEntChild);
    PutU32(DirEntry(cycle, top) + cfb::kEntLeft, top);
    EXPECT_NE(OpenError(cycle).find("cycle"), std::string::npos) << OpenError(cycle);

    auto toRoot = good;
    PutU32(DirEntry(toRoot, top) + cfb::kEntRight, 0);
    EXPECT_NE(OpenError(toRoot).find("cycle"), std::string::npos) << OpenError(toRoot);

    auto outside = good;
    PutU32(DirEntry(outside, top) + cfb::kEntLeft, 1000);
    EXPECT_NE(OpenError(outside).find("outside the directory"), std::string::npos) << OpenError(outside);

    auto unused = good;
    PutU32(DirEntry(unused, top) + cfb::kEntLeft, 3);  // an empty slot of the directory sector
    EXPECT_NE(OpenError(unused).find("type 0"), std::string::npos) << OpenError(unused);
}

TEST(CompoundDocument, two_siblings_with_one_name_are_refused_and_wide_storages_open_quickly)
{
    auto file = TwoStreamFile();
    uint8_t* small = DirEntry(file, 2);
    std::u16string big = u"BIG";
    for (size_t i = 0; i < 6; ++i) small[i] = 0;
    for (size_t i = 0; i < big.size(); ++i) PutU16(small + 2 * i, big[i]);
    PutU16(small + cfb::kEntNameLen, 8);
    EXPECT_NE(OpenError(file).find("same name"), std::string::npos) << OpenError(file);

    TCompoundDocument wide;
    std::vector<std::unique_ptr<TCompoundEntry>>& children = wide.Root().Entry().Children;
    for (int i = 0; i < 40000; ++i) {
        auto e = std::make_unique<TCompoundEntry>();
        e->Name = u"s" + std::u16string(1, char16_t(0x4E00 + i));
        children.push_back(std::move(e));
    }
    std::sort(children.begin(), children.end(),
              [](auto& a, auto& b) { return CompareEntryNames(a->Name, b->Name) < 0; });
    auto bytes = wide.SaveToMemory();
    EXPECT_EQ(TCompoundDocument::OpenMemory(bytes.data(), bytes.size()).RootEntry().Children.size(), 40000u);
}

TEST(CompoundDocument, difat_chain_that_loops_is_refused)
{
    TCompoundDocument doc;
    PutStream(doc.Root(), u"Big", Pattern(200 * 1024, 1));
    auto file = doc.SaveToMemory();
    PutU32(&file[cfb::kOffFatSectors], 240);  // more than the header and one DIFAT sector list
    PutU32(&file[cfb::kOffDifatSectors], 3);
    PutU32(&file[cfb::kOffFirstDifat], 5);
    PutU32(&file[6 * 512 + 508], 5);  // sector 5 names itself as the next DIFAT sector
    EXPECT_NE(OpenError(file).find("DIFAT chain loops"), std::string::npos) << OpenError(file);
}

TEST(CompoundDocument, every_corpus_container_opens_and_broken_files_fail_cleanly)
{
    std::filesystem::path corpus = TB_CORPUS_DIR;
    if (!std::filesystem::exists(corpus / "xls")) GTEST_SKIP() << "corpus not present";
    int opened = 0;
    for (const auto& e : std::filesystem::directory_iterator(corpus / "xls")) {
        if (!TCompoundDocument::IsCompoundFile(e.path())) continue;
        EXPECT_NO_THROW(TCompoundDocument::OpenFile(e.path())) << e.path();
        ++opened;
    }
    EXPECT_GT(opened, 200);
    for (const auto& e : std::filesystem::directory_iterator(corpus / "broken")) {
        try {
            TCompoundDocument::OpenFile(e.path());
        } catch (const EXLSError&) {
        }
    }
}

TEST(CompoundDocument, olefile_reads_what_we_write)
{
    if (!HavePythonModules()) GTEST_SKIP() << "python3 xlrd/olefile missing";
    TTempDir dir;
    TCompoundDocument doc;
    PutStream(doc.Root(), u"Workbook", Pattern(9 * 1024 * 1024, 1));
    PutStream(doc.Root(), u"\x05SummaryInformation", Pattern(300, 2));
    PutStream(doc.Root().CreateStorage(u"Macros"), u"Module1", Pattern(7000, 3));
    for (int i = 0; i < 12; ++i)
        PutStream(doc.Root(), u"Extra" + std::u16string(1, char16_t(u'A' + i)), Pattern(40 * i, 4));
    doc.SaveToFile(dir / "doc.cfb");
    std::string out = RunPython(
        dir, "import olefile, hashlib\n"
             "o = olefile.OleFileIO(r'" +
                 (dir / "doc.cfb").string() +
                 "', raise_defects=olefile.DEFECT_INCORRECT)\n"
                 "print(o.get_size('Workbook'), o.get_size('\\x05SummaryInformation'), o.get_size('Macros/Module1'))\n"
                 "print(len(o.listdir()))\n");
    EXPECT_EQ(out, "9437184 300 7000\n15\n");
}
