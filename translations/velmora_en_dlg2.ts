<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="ru_RU">
<context>
    <name>CCurvesDefinitionDlg</name>
    <message>
        <source>Информация о записи (заполните все поля)*</source>
        <translation>Recording information (fill in all fields)*</translation>
    </message>
    <message>
        <source>Ф.И.О.</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Телефон</source>
        <translation>Phone</translation>
    </message>
    <message>
        <source>Фамилия</source>
        <translation>Last name</translation>
    </message>
    <message>
        <source>Имя</source>
        <translation>First name</translation>
    </message>
    <message>
        <source>Отчество</source>
        <translation>Middle name</translation>
    </message>
    <message>
        <source>Номер карты</source>
        <translation>Medical record no.</translation>
    </message>
    <message>
        <source>муж.</source>
        <translation>Male</translation>
    </message>
    <message>
        <source>жен.</source>
        <translation>Female</translation>
    </message>
    <message>
        <source>Вес</source>
        <translation>Weight</translation>
    </message>
    <message>
        <source>Рост</source>
        <translation>Height</translation>
    </message>
    <message>
        <source>Дата рождения</source>
        <translation>Date of birth</translation>
    </message>
    <message>
        <source>Почтовый код</source>
        <translation>Postal code</translation>
    </message>
    <message>
        <source>Область</source>
        <translation>Region</translation>
    </message>
    <message>
        <source>Район</source>
        <translation>District</translation>
    </message>
    <message>
        <source>Нас. пункт</source>
        <translation>Locality</translation>
    </message>
    <message>
        <source>Улица</source>
        <translation>Street</translation>
    </message>
    <message>
        <source>Дом</source>
        <translation>House</translation>
    </message>
    <message>
        <source>Время проживания (лет)</source>
        <translation>Years at address</translation>
    </message>
    <message>
        <source>«%1»: символ «%2» нельзя сохранить в записи — его нет в кодировке Windows-1251.</source>
        <translation>“%1”: the character “%2” cannot be stored in the recording because Windows-1251 encoding does not have it.</translation>
    </message>
    <message>
        <source>Информация о записи</source>
        <translation>Recording information</translation>
    </message>
    <message>
        <source>«%1»: не более %2 знаков.</source>
        <translation>“%1”: no more than %2 characters.</translation>
    </message>
    <message>
        <source>Врач</source>
        <translation>Doctor</translation>
    </message>
    <message>
        <source>Пациент</source>
        <translation>Patient</translation>
    </message>
    <message>
        <source>не указана</source>
        <translation>not set</translation>
    </message>
    <message>
        <source>Адрес</source>
        <translation>Address</translation>
    </message>
    <message>
        <source>Применить</source>
        <translation>Apply</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>«%1»: число должно быть от %2 до %3.</source>
        <translation>“%1”: the number must be from %2 to %3.</translation>
    </message>
    <message>
        <source>Ф.И.О. врача</source>
        <translation>Doctor's name</translation>
    </message>
    <message>
        <source>Телефон врача</source>
        <translation>Doctor's phone</translation>
    </message>
    <message>
        <source>Пол</source>
        <translation>Sex</translation>
    </message>
    <message>
        <source>«%1»</source>
        <translation>“%1”</translation>
    </message>
    <message>
        <source>Для сохранения и отправки не заполнено: %1.</source>
        <translation>Fill in before saving and sending: %1.</translation>
    </message>
</context>
<context>
    <name>CDlg1ComPort</name>
    <message>
        <source>Атрибуты организации</source>
        <translation>Organization details</translation>
    </message>
    <message>
        <source>Com - порт</source>
        <translation>COM port</translation>
    </message>
    <message>
        <source>Автоматическое заключение</source>
        <translation>Automatic interpretation</translation>
    </message>
    <message>
        <source>60-90 в минуту (российская практика)</source>
        <translation>60-90 per minute (Russian practice)</translation>
    </message>
    <message>
        <source>50-100 в минуту (рекомендации AHA)</source>
        <translation>50-100 per minute (AHA recommendations)</translation>
    </message>
    <message>
        <source>Нормальная частота синусового ритма</source>
        <translation>Normal sinus rate</translation>
    </message>
    <message>
        <source>Последовательные порты не найдены.</source>
        <translation>No serial ports found.</translation>
    </message>
    <message>
        <source>COM%1  (нет в системе)</source>
        <translation>COM%1  (not present)</translation>
    </message>
</context>
<context>
    <name>CDlgArchiveCfg</name>
    <message>
        <source>Заносить в архив каждую принятую, открытую и сохранённую запись</source>
        <translation>Archive every recording that is acquired, opened or saved</translation>
    </message>
    <message>
        <source>Общий архив клиники на сервере PostgreSQL</source>
        <translation>Shared clinic archive on a PostgreSQL server</translation>
    </message>
    <message>
        <source>Архив на этом компьютере</source>
        <translation>Archive on this computer</translation>
    </message>
    <message>
        <source>по умолчанию: ~/.local/share/velmora/archive.sqlite</source>
        <translation>default: ~/.local/share/velmora/archive.sqlite</translation>
    </message>
    <message>
        <source>Файл архива</source>
        <translation>Archive file</translation>
    </message>
    <message>
        <source>Общий архив</source>
        <translation>Shared archive</translation>
    </message>
    <message>
        <source>как решит сервер</source>
        <translation>as the server decides</translation>
    </message>
    <message>
        <source>Сервер</source>
        <translation>Server</translation>
    </message>
    <message>
        <source>Порт</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>База данных</source>
        <translation>Database</translation>
    </message>
    <message>
        <source>Пользователь</source>
        <translation>User</translation>
    </message>
    <message>
        <source>Пароль</source>
        <translation>Password</translation>
    </message>
    <message>
        <source>Шифрование (sslmode)</source>
        <translation>Encryption (sslmode)</translation>
    </message>
    <message>
        <source>Архив</source>
        <translation>Archive</translation>
    </message>
</context>
<context>
    <name>CDlgMailCfg</name>
    <message>
        <source>Разрешить отправлять письма</source>
        <translation>Allow sending e-mail</translation>
    </message>
    <message>
        <source>Настройки SMTP</source>
        <translation>SMTP settings</translation>
    </message>
    <message>
        <source>Использовать SSL кодирование</source>
        <translation>Use SSL encryption</translation>
    </message>
    <message>
        <source>Сервер SMTP</source>
        <translation>SMTP server</translation>
    </message>
    <message>
        <source>Порт SMTP</source>
        <translation>SMTP port</translation>
    </message>
    <message>
        <source>Имя ящика</source>
        <translation>Mailbox name</translation>
    </message>
    <message>
        <source>Пароль</source>
        <translation>Password</translation>
    </message>
</context>
<context>
    <name>CDlgPacsCfg</name>
    <message>
        <source>Архив изображений (PACS)</source>
        <translation>Image archive (PACS)</translation>
    </message>
    <message>
        <source>AE-титул PACS</source>
        <translation>PACS AE title</translation>
    </message>
    <message>
        <source>Адрес PACS</source>
        <translation>PACS address</translation>
    </message>
    <message>
        <source>Порт DICOM</source>
        <translation>DICOM port</translation>
    </message>
    <message>
        <source>Свой AE-титул</source>
        <translation>Own AE title</translation>
    </message>
    <message>
        <source>Проверить связь</source>
        <translation>Test connection</translation>
    </message>
    <message>
        <source>Рабочий список (DICOM Modality Worklist)</source>
        <translation>Worklist (DICOM Modality Worklist)</translation>
    </message>
    <message>
        <source>AE-титул сервера</source>
        <translation>Server AE title</translation>
    </message>
    <message>
        <source>Адрес сервера</source>
        <translation>Server address</translation>
    </message>
    <message>
        <source>Медицинская информационная система (HL7)</source>
        <translation>Hospital information system (HL7)</translation>
    </message>
    <message>
        <source>Адрес МИС</source>
        <translation>HIS address</translation>
    </message>
    <message>
        <source>Порт MLLP</source>
        <translation>MLLP port</translation>
    </message>
    <message>
        <source>Связь с PACS есть.</source>
        <translation>PACS connection OK.</translation>
    </message>
    <message>
        <source>Нет связи с PACS: %1</source>
        <translation>No connection to PACS: %1</translation>
    </message>
    <message>
        <source>Проверка связи…</source>
        <translation>Testing connection…</translation>
    </message>
</context>
<context>
    <name>CReadingDlg</name>
    <message>
        <source>Новый врач</source>
        <translation>New doctor</translation>
    </message>
    <message>
        <source>Имя для входа (латиницей)</source>
        <translation>Login name (Latin letters)</translation>
    </message>
    <message>
        <source>ФИО</source>
        <translation>Full name</translation>
    </message>
    <message>
        <source>Должность</source>
        <translation>Position</translation>
    </message>
    <message>
        <source>Пароль (не короче %1 знаков)</source>
        <translation>Password (at least %1 characters)</translation>
    </message>
    <message>
        <source>Пароль ещё раз</source>
        <translation>Repeat password</translation>
    </message>
    <message>
        <source>Создать</source>
        <translation>Create</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Пароли не совпадают.</source>
        <translation>The passwords do not match.</translation>
    </message>
    <message>
        <source>Учётная запись не создана: %1</source>
        <translation>Account not created: %1</translation>
    </message>
    <message>
        <source>Заключение</source>
        <translation>Interpretation</translation>
    </message>
    <message>
        <source>Снимите отметку, чтобы убрать утверждение из заключения</source>
        <translation>Clear the check box to remove the statement from the interpretation</translation>
    </message>
    <message>
        <source>Найти утверждение</source>
        <translation>Find a statement</translation>
    </message>
    <message>
        <source>Добавить</source>
        <translation>Add</translation>
    </message>
    <message>
        <source>Заключение врача своими словами</source>
        <translation>The doctor's conclusion in free text</translation>
    </message>
    <message>
        <source>Причина изменения</source>
        <translation>Reason for change</translation>
    </message>
    <message>
        <source>Новый врач...</source>
        <translation>New doctor...</translation>
    </message>
    <message>
        <source>Врач</source>
        <translation>Doctor</translation>
    </message>
    <message>
        <source>Пароль</source>
        <translation>Password</translation>
    </message>
    <message>
        <source>Подтвердить</source>
        <translation>Confirm</translation>
    </message>
    <message>
        <source>Сохранить черновик</source>
        <translation>Save draft</translation>
    </message>
    <message>
        <source>Закрыть</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>Утверждения</source>
        <translation>Statements</translation>
    </message>
    <message>
        <source>Заключение врача</source>
        <translation>Doctor's conclusion</translation>
    </message>
    <message>
        <source>Подтверждённые версии</source>
        <translation>Confirmed versions</translation>
    </message>
    <message>
        <source>Архив не открыт: %1</source>
        <translation>The archive is not open: %1</translation>
    </message>
    <message>
        <source>Заключение не прочитано из архива: %1</source>
        <translation>The interpretation could not be read from the archive: %1</translation>
    </message>
    <message>
        <source>Подтверждено: %1, %2 (версия %3)</source>
        <translation>Confirmed: %1, %2 (version %3)</translation>
    </message>
    <message>
        <source>Не подтверждено врачом</source>
        <translation>Not confirmed by a doctor</translation>
    </message>
    <message>
        <source>Внести изменение</source>
        <translation>Amend</translation>
    </message>
    <message>
        <source>&lt;b&gt;Версия %1&lt;/b&gt;: %2, %3</source>
        <translation>&lt;b&gt;Version %1&lt;/b&gt;: %2, %3</translation>
    </message>
    <message>
        <source> (причина: %1)</source>
        <translation> (reason: %1)</translation>
    </message>
    <message>
        <source>Нет</source>
        <translation>None</translation>
    </message>
    <message>
        <source>В архиве ещё нет учётных записей врачей: создайте свою кнопкой «Новый врач...».</source>
        <translation>The archive has no doctor accounts yet: create yours with “New doctor...”.</translation>
    </message>
    <message>
        <source>Выберите врача или создайте учётную запись.</source>
        <translation>Choose a doctor or create an account.</translation>
    </message>
    <message>
        <source>Не подтверждено: %1</source>
        <translation>Not confirmed: %1</translation>
    </message>
    <message>
        <source>Подтверждено: %1, %2</source>
        <translation>Confirmed: %1, %2</translation>
    </message>
    <message>
        <source>Подтверждённое заключение меняется только изменением с причиной.</source>
        <translation>A confirmed interpretation can only be changed by an amendment with a reason.</translation>
    </message>
    <message>
        <source>Черновик сохранён.</source>
        <translation>Draft saved.</translation>
    </message>
    <message>
        <source>Черновик не сохранён: %1</source>
        <translation>Draft not saved: %1</translation>
    </message>
    <message>
        <source>Учётная запись %1 создана.</source>
        <translation>Account %1 created.</translation>
    </message>
</context>
<context>
    <name>CReportOptionsDlg</name>
    <message>
        <source>Параметры печати</source>
        <translation>Print options</translation>
    </message>
    <message>
        <source>12 отведений друг под другом (12x1)</source>
        <translation>12 leads one below another (12x1)</translation>
    </message>
    <message>
        <source>3x4 и ритм II (3x4+1)</source>
        <translation>3x4 with rhythm II (3x4+1)</translation>
    </message>
    <message>
        <source>3x4 и ритм V1, II, V5 (3x4+3)</source>
        <translation>3x4 with rhythm V1, II, V5 (3x4+3)</translation>
    </message>
    <message>
        <source>%1 мм/с</source>
        <translation>%1 mm/s</translation>
    </message>
    <message>
        <source>%1 мм/мВ</source>
        <translation>%1 mm/mV</translation>
    </message>
    <message>
        <source>Расположение:</source>
        <translation>Layout:</translation>
    </message>
    <message>
        <source>Скорость:</source>
        <translation>Speed:</translation>
    </message>
    <message>
        <source>Усиление:</source>
        <translation>Gain:</translation>
    </message>
    <message>
        <source>Бумага:</source>
        <translation>Paper:</translation>
    </message>
</context>
<context>
    <name>CSAPrefsDialog</name>
    <message>
        <source>Конфигурация</source>
        <translation>Settings</translation>
    </message>
</context>
<context>
    <name>CSendEmailDlg</name>
    <message>
        <source>отослать карточку по E-Mail</source>
        <translation>Send the card by e-mail</translation>
    </message>
    <message>
        <source>Кому:</source>
        <translation>To:</translation>
    </message>
    <message>
        <source>Тема:</source>
        <translation>Subject:</translation>
    </message>
    <message>
        <source>Примечание:</source>
        <translation>Note:</translation>
    </message>
    <message>
        <source>Карточка пациента</source>
        <translation>Patient card</translation>
    </message>
</context>
<context>
    <name>CSettingsDialog</name>
    <message>
        <source>Основные настройки</source>
        <translation>General settings</translation>
    </message>
    <message>
        <source>Настройки почты</source>
        <translation>E-mail settings</translation>
    </message>
</context>
<context>
    <name>DialogButtons</name>
    <message>
        <source>Применить</source>
        <translation>Apply</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
</context>
</TS>
