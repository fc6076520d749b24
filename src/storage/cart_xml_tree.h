#pragma once
// The pieces the cart XML readers share (cart_xml.cpp, philips_xml.cpp): the document as a small
// tree, the lookups by element name, numbers, base64, the card's fields and the findings.

#include "storage/cart_xml.h"

#include <QString>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace cartxml {

// Equal but for ASCII letter case.
bool SameText(std::string_view a, std::string_view b);

struct CXmlNode {
    std::string m_strName; // local name
    std::vector<std::pair<std::string, std::string>> m_Attributes;
    QString m_strText; // the element's own character data
    std::vector<std::unique_ptr<CXmlNode>> m_Children;

    // The first child of that name (letter case ignored), else null.
    const CXmlNode* Child(std::string_view name) const;
    // The first element of that name anywhere below, depth first, else null.
    const CXmlNode* Find(std::string_view name) const;
    // The element at a '/'-separated path of child names, else null.
    const CXmlNode* Path(std::string_view path) const;
    std::vector<const CXmlNode*> Children(std::string_view name) const;
    // The text without surrounding blanks, UTF-8.
    std::string Text() const;
    std::string Attribute(std::string_view name) const;
};

// Parses a whole document; false with *error saying what is wrong, in our words.
bool ParseXml(const uint8_t* data, size_t size, CXmlNode& root, std::string* error);

// Reads the document and checks its root element's name; a document with another root is
// kNotKnownEcgXml.
bool ParseRoot(const uint8_t* data, size_t size, std::string_view rootName, CXmlNode& root,
               std::string* error);

// A whole number in [lo, hi], else false.
bool ParseInt(const std::string& text, long lo, long hi, long& value);
bool ParseNumber(const std::string& text, double& value);
// The text of node's child as a finding (an interval, a rate or an axis), kNotInFile when absent,
// empty or beyond what can be one.
int Finding(const CXmlNode* node, std::string_view child, long lo, long hi);

// Base64 of `what` into bytes; false with *error naming it when the text is no base64.
bool DecodeBase64(const QString& text, const std::string& what, std::vector<uint8_t>& bytes,
                  std::string* error);

// The vocabulary's label of a lead name, else the name as given.
std::string LeadLabel(const std::string& name);
// The leads all of one length; false with *error naming the first that differs.
bool CheckLeadLengths(const CEcgSignal& signal, std::string* error);

void SetCardText(char* field, size_t size, const std::string& utf8);
// 1 male, 0 female, kSexNotGiven otherwise.
uint8_t SexOf(const std::string& text);
// A valid date and time (a year from 1900 on), else false.
bool MakeTime(long year, long month, long day, long hour, long minute, long second,
              SYSTEMTIME& out);
// The birth date when valid; else the year from an age in years and the record's year.
void SetBirth(PATIENT_CARD& card, long year, long month, long day, long ageYears,
              const SYSTEMTIME& start);

} // namespace cartxml
