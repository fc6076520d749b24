"""A record block and a patient card for the script tests: a record of the twelve standard leads
with samples that differ in every lane and point, and a card with every field filled in."""


def record(source=b"", date=b"2026-12-08 23:18:57"):
    rec = bytearray(112552)
    rec[4:8] = b"\xff\xff\xff\xff"
    rec[8:8 + len(date)] = date
    for p in range(4096):
        for lane in range(12):
            o = 28 + 2 * (p * 12 + lane)
            rec[o:o + 2] = (((p * (lane + 1)) % 2000) - 1000).to_bytes(2, "little", signed=True)
    info = 28 + 98304
    for i, v in enumerate((0x88888888, 1, 10, 50, 72, 4096, 0, 0, 0, 0, 0, 0, 1, 0, 3,
                           0x2D53A, 5, 7)):
        rec[info + 4 * i:info + 4 * i + 4] = v.to_bytes(4, "little")
    rec[111980:111984] = (5).to_bytes(4, "little")
    rec[111984:111992] = (0x2D53A | 7 << 32).to_bytes(8, "little")
    rec[111992:111992 + len(source)] = source
    return bytes(rec)


CARD = {"doctor_name": "Петров П.П.", "doctor_phone": "+7 495 123-45-67", "last_name": "Иванов",
        "first_name": "Иван", "patronymic": "Иванович", "birth_day": 4, "birth_month": 5,
        "birth_year": 1950, "sex": 1, "height": 180, "weight": 80, "postal_code": "123456",
        "region": "Московская обл.", "district": "", "locality": "Звенигород", "street": "",
        "house": "5", "years_of_residence": 12, "patient_id": ""}


def card_text(card=CARD):
    """The card as a card file (UTF-8 'key = value' lines)."""
    return "".join("%s = %s\n" % (k, "м" if k == "sex" else v) for k, v in card.items() if v != "")
