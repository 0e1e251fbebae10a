#pragma once
// The maker's addresses, in one place.
#include <QString>

namespace morvane::links {

inline const QString kHomePage = QStringLiteral("https://morvane.example.com/");
inline const QString kAdvertisementPage = QStringLiteral("https://morvane.example.com/pr/");
inline const QString kContactMail = QStringLiteral("support@morvane.example.com");
inline const QString kContactCaption = QStringLiteral("お問い合わせ");
// The manual: HTML, beside the program in a build, under share/morvane when
// installed (not share/doc, which a system may leave out).
inline const QString kManualFile = QStringLiteral("Morvane.html");
inline const QString kInstalledManualFolder = QStringLiteral("../share/morvane");
inline const QString kInstallerFile = QStringLiteral("MorvaneAddinSetup");
inline const QString kPartnerCode = QStringLiteral("MORVANE01");

}  // namespace morvane::links
