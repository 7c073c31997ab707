// Ordered lists of raw BIFF records behind the workbook globals and each
// sheet. A list holds (a) records kept as bytes, (b) default records that
// every BIFF8 file needs, edited in place by the component's settings, and
// (c) placeholders (private types 0x8001-0x8005, 0x8101-0x8106) where the
// writer inserts what it generates from the model. Writing walks a list in
// order; reading fills it so the record order of a file survives.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace workbook {

class TXLSStream;

// Placeholder types: never written as records.
constexpr uint16_t INTERNAL_FORMATS = 0x8001;
constexpr uint16_t INTERNAL_BOUNDSHEETS = 0x8002;
constexpr uint16_t INTERNAL_NAMES = 0x8003;
constexpr uint16_t INTERNAL_MSODRWGRP = 0x8004;
constexpr uint16_t INTERNAL_SST = 0x8005;
constexpr uint16_t INTERNAL_PAGEBREAKES = 0x8101;
constexpr uint16_t INTERNAL_HEADER = 0x8102;
constexpr uint16_t INTERNAL_MARGINS = 0x8103;
constexpr uint16_t INTERNAL_COLINFO = 0x8104;
constexpr uint16_t INTERNAL_CELLDATA = 0x8105;
constexpr uint16_t INTERNAL_SUFFIXDATA = 0x8106;

inline bool IsPlaceholder(uint16_t recId) { return recId >= 0x8001 && recId <= 0x8106; }

// One record: type and body (the body length is the record's Length).
struct TRecordData {
    uint16_t RecId = 0;
    std::vector<uint8_t> Data;
    int DefaultSlot = -1;  // position in the default order, -1 for kept records

    uint16_t Length() const { return uint16_t(Data.size()); }
    uint8_t* Body() { return Data.data(); }
};

class TBaseRecordStorage {
public:
    virtual ~TBaseRecordStorage() = default;

    // Header packs the type in its low 16 bits and the body length in its high 16 bits.
    TRecordData* AddRec(uint32_t header, const uint8_t* data);
    int FindRecord(uint16_t recId) const;
    void WriteRec(int index, TXLSStream& stream) const;
    void WriteAllRecs(TXLSStream& stream) const;
    virtual void Clear();
    // Appends every record read until and including EOF, or to the stream's end.
    void ReadUntilEOF(TXLSStream& stream, std::vector<uint8_t>& buffer);
    void Assign(const TBaseRecordStorage& source);
    uint64_t TotalSize() const;
    int Count() const { return int(FItems.size()); }
    TRecordData& operator[](int index) const { return *FItems[size_t(index)]; }

protected:
    std::vector<std::unique_ptr<TRecordData>> FItems;
    friend class TRecordStorageDefault;
};

class TRecordStorage : public TBaseRecordStorage {
public:
    virtual void SetDefaultData() = 0;
    virtual void PostCheck() = 0;
    // A record read from a file that is one of the defaults takes its place.
    virtual void UpdateDefault(uint32_t header, const uint8_t* data) = 0;
    // A placeholder is placed where the reader meets the first record of its group.
    virtual void UpdateInternal(uint16_t id) = 0;
};

// Default body of one default record, in default order.
struct TDefaultRecord {
    uint16_t RecId;
    std::vector<uint8_t> Body;
};

class TRecordStorageDefault : public TRecordStorage {
public:
    void SetDefaultData() override;
    void PostCheck() override {}
    void UpdateInternal(uint16_t id) override;
    // Fills the main list with all default records and placeholders in default order.
    void MoveAllDefault();
    void Clear() override;
    // True while the record of that default slot has not been placed.
    bool IsDefaultPending(int slot) const { return FDefault[size_t(slot)] != nullptr; }

protected:
    virtual std::vector<TDefaultRecord> DefaultRecords() const = 0;
    // Places a default record (see the placement rules in the header comment of RecordStorage.cpp).
    void UpdateRec(int slot, uint16_t length, const uint8_t* data);
    int SlotOf(uint16_t recId) const;
    TRecordData* Ref(int slot) const { return FRefs[size_t(slot)]; }

private:
    std::vector<std::unique_ptr<TRecordData>> FDefault;  // emptied slots are null
    std::vector<TRecordData*> FRefs;                     // every default record, wherever it is
};

class TRecordStorageGlobals : public TRecordStorageDefault {
public:
    // clang-format off
    enum TSlot {
        sBOF, sWRITEACCESS, sCODEPAGE, sDSF, sTABID, sFNGROUPCOUNT, sWINDOWPROTECT, sPROTECT, sPASSWORD,
        sPROT4REV, sWINDOW1, sBACKUP, sHIDEOBJ, s1904, sPRECISION, sREFRESHALL, sBOOKBOOL, sFORMATS,
        sBOUNDSHEETS, sCOUNTRY, sRECALCID, sNAMES, sMSODRWGRP, sSST, sEOF
    };
    // clang-format on
    TRecordStorageGlobals() { SetDefaultData(); }
    void UpdateDefault(uint32_t header, const uint8_t* data) override;

    TRecordData* PBOF() const { return Ref(sBOF); }
    TRecordData* PWRITEACCESS() const { return Ref(sWRITEACCESS); }
    TRecordData* PCODEPAGE() const { return Ref(sCODEPAGE); }
    TRecordData* PTABID() const { return Ref(sTABID); }
    TRecordData* PWINDOWPROTECT() const { return Ref(sWINDOWPROTECT); }
    TRecordData* PWINDOW1() const { return Ref(sWINDOW1); }
    TRecordData* PBACKUP() const { return Ref(sBACKUP); }
    TRecordData* PHIDEOBJ() const { return Ref(sHIDEOBJ); }
    TRecordData* PPRECISION() const { return Ref(sPRECISION); }
    TRecordData* PREFRESHALL() const { return Ref(sREFRESHALL); }
    TRecordData* PBOOKBOOL() const { return Ref(sBOOKBOOL); }
    TRecordData* PCOUNTRY() const { return Ref(sCOUNTRY); }

    void SetUserName(const std::u16string& name);
    std::u16string UserName() const;

protected:
    std::vector<TDefaultRecord> DefaultRecords() const override;
};

class TRecordStorageSheet : public TRecordStorageDefault {
public:
    // clang-format off
    enum TSlot {
        sBOF, sCALCMODE, sCALCCOUNT, sREFMODE, sITERATION, sDELTA, sSAVERECALC, sPRINTGRIDLINES,
        sPRINTHEADERS, sGRIDSET, sGUTS, sDEFAULTROWHEIGHT, sWSBOOL, sPAGEBREAKES, sHEADER, sMARGINS,
        sHCENTER, sVCENTER, sSETUP, sPROTECT, sDEFCOLWIDTH, sDIMENSIONS, sCOLINFO, sCELLDATA, sWINDOW2,
        sSUFFIXDATA, sEOF
    };
    // clang-format on
    TRecordStorageSheet() { SetDefaultData(); }
    void UpdateDefault(uint32_t header, const uint8_t* data) override;

    TRecordData* PCALCMODE() const { return Ref(sCALCMODE); }
    TRecordData* PCALCCOUNT() const { return Ref(sCALCCOUNT); }
    TRecordData* PREFMODE() const { return Ref(sREFMODE); }
    TRecordData* PITERATION() const { return Ref(sITERATION); }
    TRecordData* PDELTA() const { return Ref(sDELTA); }
    TRecordData* PSAVERECALC() const { return Ref(sSAVERECALC); }
    TRecordData* PPRINTGRIDLINES() const { return Ref(sPRINTGRIDLINES); }
    TRecordData* PPRINTHEADERS() const { return Ref(sPRINTHEADERS); }
    TRecordData* PDEFAULTROWHEIGHT() const { return Ref(sDEFAULTROWHEIGHT); }
    TRecordData* PWSBOOL() const { return Ref(sWSBOOL); }
    TRecordData* PHCENTER() const { return Ref(sHCENTER); }
    TRecordData* PVCENTER() const { return Ref(sVCENTER); }
    TRecordData* PSETUP() const { return Ref(sSETUP); }
    TRecordData* PPROTECT() const { return Ref(sPROTECT); }
    TRecordData* PDEFCOLWIDTH() const { return Ref(sDEFCOLWIDTH); }
    TRecordData* PDIMENSIONS() const { return Ref(sDIMENSIONS); }
    TRecordData* PWINDOW2() const { return Ref(sWINDOW2); }

protected:
    std::vector<TDefaultRecord> DefaultRecords() const override;
};

// Records kept from Excel 2007 files, written right after the shared strings.
class TRecordStorageEx2007Unknown : public TBaseRecordStorage {};

}  // namespace workbook
