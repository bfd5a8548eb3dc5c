// The credit sentence's author and address. Narrow literals, because the
// resource script reads this file too; the code widens them with WIDE().
#pragma once

#define CREDIT_AUTHOR "Corvane 工作室"
#define CREDIT_ADDRESS "https://corvane.example/"
#define CREDIT_BEFORE "Photoshop 插件安装工具，由 "
#define CREDIT_AFTER " 提供。"

#define WIDE_(text) L##text
#define WIDE(text) WIDE_(text)
