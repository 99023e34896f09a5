-- 中文注释：脚本从main()开始执行
local messages = {
  welcome = "欢迎使用脚本",
  ["按钮"] = "点击开始",
  "第一行", "第二行",
}

function main()
  for k, v in pairs(messages) do
    toast(k .. "：" .. v) -- 全角冒号
  end
  local text = [[多行
文本，包含“引号”]]
  return text, "结束"
end
