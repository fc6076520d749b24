// The lead vocabulary every reader, writer and drawing goes through: a fault in it puts a lead in
// the wrong lane or gives a file a code of another lead, so what matters is that it agrees with
// itself.

#include "record_model/lead_vocabulary.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

std::string Upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    return s;
}

// The DICOM code our files carry for a lead must be that of its SCP-ECG code, not a neighbour's.
void ExpectWrittenCodesAgree(const CLeadEntry& lead) {
    SCOPED_TRACE(lead.m_szLabel);
    ASSERT_TRUE(lead.m_szMdc && lead.m_szEdf && lead.m_dicom.m_szValue && lead.m_dicom.m_szMeaning);
    EXPECT_EQ(std::string(lead.m_dicom.m_szValue), "5.6.3-9-" + std::to_string(lead.m_nScpCode));
    EXPECT_STREQ(lead.m_dicom.m_szScheme, "SCPECG");
    EXPECT_STREQ(lead.m_dicom.m_szSchemeVersion, "1.3");
    EXPECT_LE(std::string(lead.m_szEdf).size(), 16u) << "an EDF+ label field";
}

TEST(LeadVocabulary, EveryLaneOnceAndEveryNameAndCodeLeadsBackToItsRow) {
    const std::span<const CLeadEntry> all = LeadVocabulary();
    std::set<int> lanes;
    std::set<unsigned> codes;
    for (size_t k = 0; k < all.size(); ++k) {
        const CLeadEntry& lead = all[k];
        SCOPED_TRACE(lead.m_szLabel);
        ASSERT_TRUE(lead.m_szLabel && *lead.m_szLabel);
        if (lead.m_nLane >= 0) {
            EXPECT_TRUE(lanes.insert(lead.m_nLane).second) << "lane given twice";
            EXPECT_EQ(size_t(lead.m_nLane), k) << "the twelve come first, in lane order";
            EXPECT_EQ(LeadOfLane(lead.m_nLane), &lead);
            ExpectWrittenCodesAgree(lead);
            EXPECT_EQ(std::string(lead.m_szMdc), "MDC_ECG_LEAD_" + Upper(lead.m_szLabel));
            EXPECT_EQ(std::string(lead.m_szEdf), std::string("ECG ") + lead.m_szLabel);
            EXPECT_EQ(std::string(lead.m_dicom.m_szMeaning), std::string("Lead ") + lead.m_szLabel);
        } else {
            EXPECT_EQ(lead.m_szMdc, nullptr) << "a lead without a lane is never written";
            EXPECT_EQ(lead.m_dicom.m_szValue, nullptr);
        }
        EXPECT_TRUE(codes.insert(lead.m_nScpCode).second) << "SCP code given twice";
        EXPECT_EQ(LeadOfScpCode(lead.m_nScpCode), &lead);
        // Labels and aliases never clash: each finds its own row, so lane -> name -> lane holds.
        EXPECT_EQ(LeadOfName(lead.m_szLabel), &lead);
        EXPECT_EQ(LaneOfLeadName(lead.m_szLabel), lead.m_nLane);
        for (const char* alias : lead.m_aszAliases) {
            if (alias) {
                EXPECT_EQ(LeadOfName(alias), &lead) << alias;
            }
        }
    }
    EXPECT_EQ(lanes.size(), size_t(kStandardLanes));
    EXPECT_EQ(*lanes.rbegin(), kStandardLanes - 1);
    EXPECT_EQ(LeadOfLane(-1), nullptr);
    EXPECT_EQ(LeadOfLane(kStandardLanes), nullptr);
    EXPECT_EQ(LeadOfScpCode(0), nullptr) << "0 is the unspecified lead";
}

TEST(LeadVocabulary, NamesAsFilesSpellThem) {
    EXPECT_STREQ(LeadOfLane(kLaneAvr)->m_szLabel, "aVR");
    EXPECT_EQ(LaneOfLeadName("AVR"), kLaneAvr) << "letter case";
    EXPECT_EQ(LaneOfLeadName(" a V f\t"), kLaneAvf) << "blanks";
    EXPECT_EQ(LaneOfLeadName("ECG aVL"), kLaneAvl) << "EDF+'s signal type";
    EXPECT_EQ(LaneOfLeadName("ecgV6"), kLaneV6);
    EXPECT_EQ(LaneOfLeadName("MLII"), kLaneII) << "Holter records' modified lead II";
    EXPECT_EQ(LaneOfLeadName("ECG MLII"), kLaneII);
    EXPECT_EQ(LaneOfLeadName("III"), kLaneIII);
    ASSERT_NE(LeadOfName("-aVR"), nullptr);
    EXPECT_EQ(LeadOfName("-aVR")->m_nLane, -1) << "the inverted aVR is no aVR";
    EXPECT_EQ(LaneOfLeadName("V3R"), -1);
    EXPECT_EQ(LeadOfScpCode(11), LeadOfName("v3r"));
    for (const char* none : {"", "ECG", "ECG ", "aVRx", "V13", "Lead I"})
        EXPECT_EQ(LeadOfName(none), nullptr) << '"' << none << '"';
}

TEST(LeadVocabulary, LeadSystemsCodeEachLaneOnceAndApart) {
    const std::span<const CLeadEntry> twelve = LeadSystemLeads(1);
    ASSERT_EQ(twelve.size(), size_t(kStandardLanes));
    EXPECT_EQ(twelve.data(), LeadOfLane(0)) << "lead system 1 is the twelve standard lanes";
    EXPECT_EQ(LeadSystemLeads(0).data(), twelve.data()) << "an unknown system reads as 1";
    EXPECT_EQ(LeadSystemLeads(9).data(), twelve.data());

    std::set<unsigned> standard;
    for (const CLeadEntry& lead : twelve)
        standard.insert(lead.m_nScpCode);
    for (const uint32_t system : {2u, 3u}) {
        SCOPED_TRACE(system);
        const std::span<const CLeadEntry> leads = LeadSystemLeads(system);
        EXPECT_EQ(leads.size(), system == 2 ? 3u : 4u);
        std::set<unsigned> codes;
        for (const CLeadEntry& lead : leads) {
            ExpectWrittenCodesAgree(lead);
            EXPECT_EQ(lead.m_nLane, -1);
            EXPECT_TRUE(codes.insert(lead.m_nScpCode).second);
            // Whatever the cardiograph calls them (Nehb's "I"), they are none of the twelve.
            EXPECT_EQ(standard.count(lead.m_nScpCode), 0u) << lead.m_szLabel;
        }
    }
    // Nehb's codes are the vocabulary's D, A and J, whatever the cardiograph calls them.
    for (const CLeadEntry& lead : LeadSystemLeads(2))
        ASSERT_NE(LeadOfScpCode(lead.m_nScpCode), nullptr) << lead.m_szLabel;
    EXPECT_STREQ(LeadOfScpCode(LeadSystemLeads(2)[2].m_nScpCode)->m_szLabel, "J");
}

} // namespace
