#pragma once
// The patient card of a record window: fixed Windows-1251 buffers, cleared whenever the session
// values are reset so that a new recording starts with an empty card.

#include <cstddef>
#include <cstdint>

struct PATIENT_CARD {
    uint8_t reserved0[20];
    char last_name[30];
    char first_name[30];
    char patronymic[30];
    uint16_t birth_day;
    uint16_t birth_month;
    uint16_t birth_year; // 0 = not given, 65535 = no valid date in the dialog
    uint8_t sex;         // 1 male, 0 female, kSexNotGiven until someone chooses
    uint16_t height;
    uint16_t weight;
    uint8_t reserved1[6];
    char postal_code[129];
    char region[129];
    char district[129];
    char locality[129];
    char street[129];
    char house[129];
    int32_t years_of_residence;
    uint8_t reserved2[21];
    char doctor_name[30];
    char doctor_phone[30];
    // The hospital's medical record number ("Номер карты"): taken from the span that older
    // files leave zero, so their cards read with none.
    char patient_id[32];
    uint8_t reserved3[83];
};

// A new card's sex: neither, so that a hurried save cannot make every patient a woman. Files keep
// 0 and 1; a card is not complete for a save until one of them is chosen.
constexpr uint8_t kSexNotGiven = 2;

static_assert(sizeof(PATIENT_CARD) == 1104);
static_assert(offsetof(PATIENT_CARD, last_name) == 20);
static_assert(offsetof(PATIENT_CARD, birth_day) == 110);
static_assert(offsetof(PATIENT_CARD, sex) == 116);
static_assert(offsetof(PATIENT_CARD, height) == 118);
static_assert(offsetof(PATIENT_CARD, postal_code) == 128);
static_assert(offsetof(PATIENT_CARD, years_of_residence) == 904);
static_assert(offsetof(PATIENT_CARD, doctor_name) == 929);
static_assert(offsetof(PATIENT_CARD, doctor_phone) == 959);
static_assert(offsetof(PATIENT_CARD, patient_id) == 989);
