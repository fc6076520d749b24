<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="ru_RU">
<context>
    <name>ComparisonReport</name>
    <message>
        <source>Сравнение с предыдущей ЭКГ</source>
        <translation>Comparison with the previous ECG</translation>
    </message>
    <message>
        <source>Текущая ЭКГ</source>
        <translation>Current ECG</translation>
    </message>
    <message>
        <source>Предыдущая ЭКГ</source>
        <translation>Previous ECG</translation>
    </message>
    <message>
        <source>Показатель</source>
        <translation>Measurement</translation>
    </message>
    <message>
        <source>Предыдущая</source>
        <translation>Previous</translation>
    </message>
    <message>
        <source>Текущая</source>
        <translation>Current</translation>
    </message>
    <message>
        <source>Разница</source>
        <translation>Difference</translation>
    </message>
    <message>
        <source>Усреднённые комплексы</source>
        <translation>Median beats</translation>
    </message>
    <message>
        <source>текущая %1</source>
        <translation>current %1</translation>
    </message>
    <message>
        <source>предыдущая %1</source>
        <translation>previous %1</translation>
    </message>
    <message>
        <source>%1 мм/с   %2 мм/мВ   Фильтры: %3   Частота дискретизации 409,6 Гц</source>
        <translation>%1 mm/s   %2 mm/mV   Filters: %3   Sampling rate 409.6 Hz</translation>
    </message>
    <message>
        <source>Сравнение ЭКГ</source>
        <translation>ECG comparison</translation>
    </message>
</context>
<context>
    <name>FileFindings</name>
    <message>
        <source>ЧСС</source>
        <translation>HR</translation>
    </message>
    <message>
        <source> уд/мин</source>
        <translation> bpm</translation>
    </message>
    <message>
        <source> мс</source>
        <translation> ms</translation>
    </message>
    <message>
        <source>ось P</source>
        <translation>P axis</translation>
    </message>
    <message>
        <source>ось QRS</source>
        <translation>QRS axis</translation>
    </message>
    <message>
        <source>ось T</source>
        <translation>T axis</translation>
    </message>
    <message>
        <source>заключение файла (подтверждено): %1</source>
        <translation>file&apos;s interpretation (confirmed): %1</translation>
    </message>
    <message>
        <source>заключение файла: %1</source>
        <translation>file&apos;s interpretation: %1</translation>
    </message>
    <message>
        <source>По данным файла: %1</source>
        <translation>From the file: %1</translation>
    </message>
    <message>
        <source>По данным файла (%1): %2</source>
        <translation>From the file (%1): %2</translation>
    </message>
</context>
<context>
    <name>MeasurementTable</name>
    <message>
        <source>ЧСС</source>
        <translation>HR</translation>
    </message>
    <message>
        <source>уд/мин</source>
        <translation>bpm</translation>
    </message>
    <message>
        <source>мс</source>
        <translation>ms</translation>
    </message>
    <message>
        <source>RR мин</source>
        <translation>RR min</translation>
    </message>
    <message>
        <source>RR макс</source>
        <translation>RR max</translation>
    </message>
    <message>
        <source>QTc (Базетт)</source>
        <translation>QTc (Bazett)</translation>
    </message>
    <message>
        <source>QTc (Фридеричиа)</source>
        <translation>QTc (Fridericia)</translation>
    </message>
    <message>
        <source>ось P</source>
        <translation>P axis</translation>
    </message>
    <message>
        <source>ось QRS</source>
        <translation>QRS axis</translation>
    </message>
    <message>
        <source>ось T</source>
        <translation>T axis</translation>
    </message>
    <message>
        <source>Соколов-Лайон</source>
        <translation>Sokolow-Lyon</translation>
    </message>
    <message>
        <source>мВ</source>
        <translation>mV</translation>
    </message>
    <message>
        <source>нет</source>
        <translation>none</translation>
    </message>
    <message>
        <source>Автоматические измерения: нет (комплексы QRS не найдены)</source>
        <translation>Automatic measurements: none (no QRS complexes found)</translation>
    </message>
    <message>
        <source>%1   (автоматические измерения, требуют подтверждения врачом)</source>
        <translation>%1   (automatic measurements, to be confirmed by a physician)</translation>
    </message>
</context>
<context>
    <name>RecordFiles</name>
    <message>
        <source>Записи (*.dat)</source>
        <translation>Records (*.dat)</translation>
    </message>
    <message>
        <source>Пакеты экспорта (*.ecg)</source>
        <translation>Export packages (*.ecg)</translation>
    </message>
    <message>
        <source>Файлы SCP (*.scp)</source>
        <translation>SCP files (*.scp)</translation>
    </message>
    <message>
        <source>Холтер ISHNE (*.ecg)</source>
        <translation>ISHNE Holter (*.ecg)</translation>
    </message>
    <message>
        <source>Записи WFDB (*.hea)</source>
        <translation>WFDB records (*.hea)</translation>
    </message>
    <message>
        <source>Записи WFDB в MATLAB (*.mat)</source>
        <translation>WFDB records in MATLAB (*.mat)</translation>
    </message>
    <message>
        <source>DICOM ЭКГ (*.dcm)</source>
        <translation>DICOM ECG (*.dcm)</translation>
    </message>
    <message>
        <source>Philips XML (*.xml)</source>
        <translation>Philips XML (*.xml)</translation>
    </message>
    <message>
        <source>GE MUSE XML (*.xml)</source>
        <translation>GE MUSE XML (*.xml)</translation>
    </message>
    <message>
        <source>GE CardioSoft XML (*.xml)</source>
        <translation>GE CardioSoft XML (*.xml)</translation>
    </message>
    <message>
        <source>HL7 aECG (*.xml)</source>
        <translation>HL7 aECG (*.xml)</translation>
    </message>
    <message>
        <source>EDF+ (*.edf)</source>
        <translation>EDF+ (*.edf)</translation>
    </message>
    <message>
        <source>FHIR R4 DiagnosticReport (*.json)</source>
        <translation>FHIR R4 DiagnosticReport (*.json)</translation>
    </message>
    <message>
        <source>Все записи (%1)</source>
        <translation>All records (%1)</translation>
    </message>
    <message>
        <source>Все файлы (*)</source>
        <translation>All files (*)</translation>
    </message>
</context>
<context>
    <name>RecordPacs</name>
    <message>
        <source>не задан адрес PACS</source>
        <translation>no PACS address is set</translation>
    </message>
    <message>
        <source>неверный порт PACS: %1</source>
        <translation>invalid PACS port: %1</translation>
    </message>
    <message>
        <source>неверный AE-титул PACS: &quot;%1&quot;</source>
        <translation>invalid PACS AE title: &quot;%1&quot;</translation>
    </message>
    <message>
        <source>неверный собственный AE-титул: &quot;%1&quot;</source>
        <translation>invalid own AE title: &quot;%1&quot;</translation>
    </message>
    <message>
        <source>В карточке нет фамилии пациента: запись без имени в PACS не отправляется</source>
        <translation>The card has no patient surname: a record without a name is not sent to the PACS</translation>
    </message>
</context>
<context>
    <name>RecordWorklist</name>
    <message>
        <source>не задан адрес сервера рабочего списка</source>
        <translation>no worklist server address is set</translation>
    </message>
    <message>
        <source>неверный порт сервера рабочего списка: %1</source>
        <translation>invalid worklist server port: %1</translation>
    </message>
    <message>
        <source>неверный AE-титул сервера рабочего списка: &quot;%1&quot;</source>
        <translation>invalid worklist server AE title: &quot;%1&quot;</translation>
    </message>
    <message>
        <source>неверный собственный AE-титул: &quot;%1&quot;</source>
        <translation>invalid own AE title: &quot;%1&quot;</translation>
    </message>
</context>
<context>
    <name>ReportFile</name>
    <message>
        <source>ЭКГ</source>
        <translation>ECG</translation>
    </message>
</context>
<context>
    <name>ReportRenderer</name>
    <message>
        <source>отведение отсутствует в записи</source>
        <translation>lead not present in the record</translation>
    </message>
    <message>
        <source> (%1 лет)</source>
        <translation> (age %1)</translation>
    </message>
    <message>
        <source>Заключение: %1</source>
        <translation>Conclusion: %1</translation>
    </message>
    <message>
        <source>Подтверждено: %1, %2</source>
        <translation>Confirmed: %1, %2</translation>
    </message>
    <message>
        <source>Изменено: %1</source>
        <translation>Amended: %1</translation>
    </message>
    <message>
        <source>Пациент: %1 %2 %3</source>
        <translation>Patient: %1 %2 %3</translation>
    </message>
    <message>
        <source>Пол: %1   Дата рождения: %2</source>
        <translation>Sex: %1   Date of birth: %2</translation>
    </message>
    <message>
        <source>муж.</source>
        <translation>male</translation>
    </message>
    <message>
        <source>жен.</source>
        <translation>female</translation>
    </message>
    <message>
        <source>Рост: %1   Вес: %2</source>
        <translation>Height: %1   Weight: %2</translation>
    </message>
    <message>
        <source>%1 см</source>
        <translation>%1 cm</translation>
    </message>
    <message>
        <source>%1 кг</source>
        <translation>%1 kg</translation>
    </message>
    <message>
        <source>Врач: %1</source>
        <translation>Physician: %1</translation>
    </message>
    <message>
        <source>Дата и время записи: %1</source>
        <translation>Recorded: %1</translation>
    </message>
    <message>
        <source>Запись № %1, прибор %2</source>
        <translation>Record no. %1, device %2</translation>
    </message>
    <message>
        <source>Запись № %1</source>
        <translation>Record no. %1</translation>
    </message>
    <message>
        <source>Автоматические измерения,</source>
        <translation>Automatic measurements,</translation>
    </message>
    <message>
        <source>требуют подтверждения врачом</source>
        <translation>to be confirmed by a physician</translation>
    </message>
    <message>
        <source>Заключение</source>
        <translation>Interpretation</translation>
    </message>
    <message>
        <source>Подпись врача</source>
        <translation>Physician&apos;s signature</translation>
    </message>
    <message>
        <source>%1 мм/с   %2 мм/мВ   Фильтры: %3   Частота дискретизации 409,6 Гц</source>
        <translation>%1 mm/s   %2 mm/mV   Filters: %3   Sampling rate 409.6 Hz</translation>
    </message>
    <message>
        <source>   Показаны первые %1 с записи</source>
        <translation>   First %1 s of the record shown</translation>
    </message>
    <message>
        <source>нет</source>
        <translation>none</translation>
    </message>
</context>
</TS>
