procedure boom is
  x number;
begin
  select sal into x from emp;
end;