#include "editor/SnippetCatalogue.h"

#include <iterator>

namespace {

// Labels and texts stay exactly as authors have always known them, oddities included (the label
// "获取颜色RBG"). 停止定时器 stops the timer: killTimer, the function the runtime names so.
const Snippet kEntries[] = {
    {"endless_loop_code", "menu_5", "无限循环", "while true do\r\n\t--此处写入你的循环代码\r\n\r\nend\r\n"},
    {"action_if_code", "menu_5", "条件判断", "if [条件表达式] then\r\n\t--此处写入当条件成立时要执行的代码\r\n\r\nelse\r\n\t--此处写入当条件不成立时要执行的代码\r\n\r\nend\r\n"},
    {"action_function_define", "menu_5", "函数定义", "function myfun()\r\n\t--此处写入函数代码\r\n\r\nend\r\n"},
    {"action_for_loop_code", "menu_5", "for循环", "for [变量]=[初始值],[终止值],[步长] do\r\n\t--这里写入你的循环代码\r\n\r\nend\r\n"},
    {"action_while_loop", "menu_5", "while循环", "while [条件表达式] do\r\n\t--这里写入你的循环代码\r\n\r\nend\r\n"},
    {"action_repate_loop", "menu_5", "repeat循环", "repeat\r\n\t--这里写入你的循环代码\r\n\r\nuntil [条件表达式]\r\n"},
    {"action_for_in_loop", "menu_5", "for..in循环", "for v in [集合] do\r\n\t--这里写入你的循环代码\r\n\r\nend\r\n"},
    {"action_break", "menu_5", "跳出循环", "break\r\n"},
    {"action_insert_fun_touchClick", "menu_11", "触摸点击", "touchClick(x,y)\r\n"},
    {"action_insert_fun_touchDown", "menu_11", "触摸按下", "touchDown(x,y)\r\n"},
    {"action_insert_fun_touchMove", "menu_11", "触摸滑动", "touchMove(x,y)\r\n"},
    {"action_insert_fun_touchUp", "menu_11", "触摸弹起", "touchUp()\r\n"},
    {"action_insert_fun_touchClickRandom", "menu_11", "随机触摸点击", "touchClickRandom(x,y,10)\r\n"},
    {"action_insert_fun_touchDownRandom", "menu_11", "随机触摸按下", "touchDownRandom(x,y,10)\r\n"},
    {"action_insert_fun_touchMoveRandom", "menu_11", "随机触摸滑动", "touchMoveRandom(x,y,10)\r\n"},
    {"action_insert_fun_inputText", "menu_12", "输入文本", "input(\"hello\")\r\n"},
    {"action_insert_fun_inputKey", "menu_12", "模拟按键", "input(k)\r\n"},
    {"action_insert_fun_getColorRGB", "menu_13", "获取颜色RBG", "local r,g,b = getColorRGB(x,y)\r\n"},
    {"action_insert_fun_RGB", "menu_13", "RGB颜色合成", "RGB(r,g,b)"},
    {"action_insert_fun_getColor", "menu_13", "获取颜色", "local color = getColor(x,y)\r\n"},
    {"action_insert_fun_isColorFuzzy", "menu_13", "模糊判色", "isColor(x,y,90)"},
    {"action_insert_fun_isColor", "menu_13", "判断颜色", "isColor(x,y)"},
    {"action_insert_fun_findColor", "menu_13", "寻找颜色", "local x,y = findColor(color)\r\n"},
    {"action_insert_fun_findColorRect", "menu_13", "范围寻色", "local x,y = findColor(color,x1,y1,x2,y2)\r\n"},
    {"action_insert_fun_findColorFuzzyRect", "menu_13", "范围模糊寻色", "local x,y = findColorFuzzy(color,90,x1,y1,x2,y2)\r\n"},
    {"action_insert_fun_findColorFuzzy", "menu_13", "模糊寻色", "local x,y = findColorFuzzy(color,90)\r\n"},
    {"action_insert_fun_findImage", "menu_14", "普通寻图", "local flag,x,y = findImage(\"[图片路径]\")\r\n"},
    {"action_insert_fun_findImageRect", "menu_14", "范围寻图", "local flag,x,y = findImage(\"[图片路径]\",x1,y1,x2,y2)\r\n"},
    {"action_insert_fun_findImageFuzzy", "menu_14", "模糊寻图", "local flag,x,y = findImageFuzzy(\"[图片路径]\",90)\r\n"},
    {"action_insert_fun_findImageFuzzyRect", "menu_14", "范围模糊寻图", "local flag,x,y = findImageFuzzy(\"[图片路径]\",90,x1,y1,x2,y2)\r\n"},
    {"action_insert_fun_findImageIrregular", "menu_14", "不规则寻图", "local flag,x,y = findImageIrregular(\"[图片路径]\",[背景色])\r\n"},
    {"action_insert_fun_findImageIrregularRect", "menu_14", "范围不规则寻图", "local flag,x,y = findImageIrregular(\"[图片路径]\",[背景色],x1,y1,x2,y2)\r\n"},
    {"action_insert_fun_findImageIrregularFuzzy", "menu_14", "模糊不规则寻图", "local flag,x,y = findImageFuzzyIrregular(\"[图片路径]\",90,[背景色])\r\n"},
    {"action_insert_fun_findImageIrregularFuzzyRect", "menu_14", "范围模糊不规则寻图", "local flag,x,y = findImageFuzzyIrregular(\"[图片路径]\",90,[背景色],x1,y1,x2,y2)\r\n"},
    {"action_insert_fun_clickImage", "menu_14", "点击图片", "clickImage(\"[图片路径]\")\r\n"},
    {"action_insert_fun_getResolutionRatio", "menu_15", "获取屏幕分辨率", "local w,h = getResolutionRatio()\r\n"},
    {"action_insert_fun_getBitsPerPixel", "menu_15", "获取屏幕色位", "local bits = getBitsPerPixel()\r\n"},
    {"action_start_thread", "menu_15", "启动线程", "startThread(\"my_thread\")\r\n"},
    {"action_startTimer", "menu_15", "启动定时器", "local tid = startTimer(\"my_timer\",5000,5000)\r\n"},
    {"action_stopTimer", "menu_15", "停止定时器", "killTimer(tid)\r\n"},
    {"action_globalLock", "menu_15", "全局锁定", "globalLock()\r\n"},
    {"action_globalUnlock", "menu_15", "全局解锁", "globalUnlock()\r\n"},
    {"action_tryGlobalLock", "menu_15", "尝试全局锁定", "tryGlobalLock()\r\n"},
    {"action_insert_fun_startApp", "menu_16", "启动指定应用", "startApp(\"[应用包名]\")\r\n"},
    {"action_insert_fun_kill", "menu_16", "结束一个应用", "kill(\"[应用包名]\")\r\n"},
    {"action_insert_fun_findApp", "menu_16", "查找应用是否安装", "findApp(\"[应用包名]\")\r\n"},
    {"action_insert_fun_isRunning", "menu_16", "判断应用是否正在运行", "isRunning(\"[应用包名]\")\r\n"},
    {"action_insert_fun_pauseApp", "menu_16", "暂停指定进程", "pauseApp(\"[应用包名]\")\r\n"},
    {"action_insert_fun_resumeApp", "menu_16", "恢复指定进程", "resumeApp(\"[应用包名]\")\r\n"},
    {"action_insert_fun_toast", "menu_21", "弹出文本提示", "toast(\"hello\")\r\n"},
    {"action_insert_fun_log", "menu_21", "记录日志", "log(\"hello\")\r\n"},
    {"action_insert_fun_loge", "menu_21", "记录错误日志", "loge(\"hello\")\r\n"},
    {"action_insert_fun_sleep", "menu_18", "延迟", "sleep(1000)\r\n"},
    {"action_insert_fun_vibrate", "menu_18", "震动", "vibrate(2000)\r\n"},
    {"action_insert_fun_exit", "menu_18", "退出当前脚本", "exit()\r\n"},
    {"action_insert_fun_copy", "menu_18", "拷贝文本到剪切板", "copy(\"[要拷贝的文本]\")\r\n"},
    {"action_insert_fun_getSDCardPath", "menu_18", "获取SD卡路径", "local path = getSDCardPath()\r\n"},
    {"action_insert_fun_include", "menu_18", "包含脚本", "include(\"[脚本相对工程路径]\")\r\n"},
    {"action_doString", "menu_18", "执行字符串脚本", "doString(\"toast('hello kestrun')\")\r\n"},
    {"action_insert_fun_setCompatMode", "menu_19", "强制设置兼容模式", "setCompatMode(true)\r\n"},
    {"action_insert_fun_isCompatMode", "menu_19", "判断当前模式", "isCompatMode()\r\n"},
    {"action_insert_fun_setAutoScreencap", "menu_19", "设置截屏方式", "setAutoScreencap(false)\r\n"},
    {"action_insert_fun_screencap", "menu_19", "主动截屏", "screencap()\r\n"},
    {"action_insert_fun_getWifiMAC", "menu_20", "获取网卡MAC", "getWifiMAC()\r\n"},
    {"action_insert_fun_getIMEI", "menu_20", "获取IMEI", "getIMEI()\r\n"},
    {"action_insert_fun_getBluetoothMAC", "menu_20", "获取蓝牙MAC", "getBluetoothMAC()\r\n"},
    {"action_insert_fun_getAndroidID", "menu_20", "获取AndroidID", "getAndroidID()\r\n"},
    {"action_insert_fun_getDeviceInfo", "menu_20", "获取设备信息串", "getDeviceInfo()\r\n"},
    {"action_insert_fun_getUDID", "menu_20", "获取UDID", "getUDID()\r\n"},
    {"action_getBuildModel", "menu_20", "获取手机型号", "local model = getBuildModel()\r\n"},
    {"action_insert_fun_httpGet", "menu_22", "http访问", "local content = httpGet(\"[要访问的网址]\")\r\n"},
    {"action_getNetTime", "menu_22", "获取网络时间", "local time,timestamp,year,month,day,hour,minute,second = getNetTime()\r\n"},
    {"action_urlParamEncode", "menu_22", "url参数编码", "urlParamEncode(param)"},
    {"action_insert_fun_screencapFullToFile", "menu_17", "全屏截图", "screencapToFile(\"[图片保存路径]\")\r\n"},
    {"action_insert_fun_screencapRectToFile", "menu_17", "范围截图", "screencapToFile(\"[图片保存路径]\",x1,y1,x2,y2)\r\n"},
    {"action_createTextView", "menuUI", "创建静态文本", "createTextView(name,text,width,height)\r\n"},
    {"action_createEditText", "menuUI", "创建编辑框", "createEditText(name,text,type,width,height)\r\n"},
    {"action_createCheckBox", "menuUI", "创建复选框", "createCheckBox(name,label,checked,width,height)\r\n"},
    {"action_createRadioBox", "menuUI", "创建单选框", "createRadioBox(name,label,checked,width,height)\r\n"},
    {"action_createButton", "menuUI", "创建按钮", "createButton(name,label,callback,width,height)\r\n"},
    {"action_createWindow", "menuUI", "创建扩展窗口", "createWindow(windowName,width,height)\r\n"},
    {"action_newLine", "menuUI", "UI换行", "newLine(windowName)\r\n"},
    {"action_getText", "menuUI", "获取文本", "getText(windowName,name)\r\n"},
    {"action_setText", "menuUI", "设置文本", "setText(windowName,name,text)\r\n"},
    {"action_setChecked", "menuUI", "设置选中", "setChecked(windowName,name,checked)\r\n"},
    {"action_getChecked", "menuUI", "获取选中", "getChecked(windowName,name)\r\n"},
    {"action_createWebView", "menuUI", "创建WebView", "createWebView(name,html)\r\n"},
    {"action_showLoopSetting", "menuUI", "循环设置显示", "showLoopSetting(false)\r\n"},
    {"action_ime_input", "menu_24", "输入文本", "input(\"文本内容\")\r\n"},
    {"action_ime_inputNext", "menu_24", "输入\"下一步\"", "inputNext()\r\n"},
    {"action_ime_inputDone", "menu_24", "输入\"完成\"", "inputDone()\r\n"},
    {"action_ime_inputGo", "menu_24", "输入\"去往\"", "inputGo()\r\n"},
    {"action_ime_inputSearch", "menu_24", "输入\"搜索\"", "inputSearch()\r\n"},
    {"action_ime_inputSend", "menu_24", "输入\"发送\"", "inputSend()\r\n"},
};

} // namespace

const QVector<Snippet> &SnippetCatalogue::entries()
{
    static const QVector<Snippet> entries(std::begin(kEntries), std::end(kEntries));
    return entries;
}

const Snippet *SnippetCatalogue::find(const QString &objectName)
{
    for (const Snippet &entry : entries()) {
        if (objectName == QLatin1String(entry.objectName))
            return &entry;
    }
    return nullptr;
}
