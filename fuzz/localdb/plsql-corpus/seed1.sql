procedure p1 is
  x number;
begin
  x := y;
  dbms_output.put_lin('a');
  select ename into x from nosuch where 1=1;
end;